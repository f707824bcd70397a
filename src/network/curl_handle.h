// A libcurl easy handle that is cleaned up on every path out of the scope that made it.
#pragma once

#include <winsock2.h> // curl.h pulls in the Windows headers; winsock2.h must come first.

#include <curl/curl.h>

#include <memory>

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

inline CurlHandle makeCurlHandle()
{
    return {curl_easy_init(), &curl_easy_cleanup};
}
