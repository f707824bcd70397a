// The floor the launcher's start-up is measured against: the one header-only request the
// launcher makes, with the same libcurl, then the same start of javaw.exe through the shell.
//   floor-startup <service url> <javaw.exe> <arguments> <folder> <verb>
#include <winsock2.h> // before windows.h, which curl.h pulls in

#include <curl/curl.h>
#include <shellapi.h>

#include <cstddef>

namespace {

std::size_t ignoreHeader(char*, std::size_t size, std::size_t count, void*)
{
    return size * count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        return 2;
    }
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, argv[1]);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ignoreHeader);
    (void)curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = argv[5];
    sei.lpFile = argv[2];
    sei.lpParameters = argv[3];
    sei.lpDirectory = argv[4];
    sei.nShow = SW_HIDE;
    (void)ShellExecuteExA(&sei);
    return 0;
}
