// The floor the launcher's download is measured against: plain libcurl, following redirects,
// writing the body into a file.
//   floor-download <url> <file>
#include <winsock2.h> // before windows.h, which curl.h pulls in

#include <curl/curl.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        return 2;
    }
    FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) {
        return 3;
    }
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, argv[1]);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    std::fclose(file);
    (void)std::remove(argv[2]);
    return result == CURLE_OK ? 0 : 1;
}
