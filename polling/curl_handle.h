#pragma once
// Owning handles for libcurl objects.

#include <curl/curl.h>

#include <memory>

namespace ixan {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Initialises libcurl once per process (thread-safe) and gives a new easy handle;
// null when either step fails.
CurlEasy makeCurlEasy();

// Appends one header line; false (and `list` unchanged) when out of memory.
bool appendCurlHeader(CurlList& list, const char* line);

}  // namespace ixan
