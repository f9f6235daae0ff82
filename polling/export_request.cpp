#include "polling/export_request.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "common/activity_log.h"
#include "polling/curl_handle.h"
#include "polling/percent_decode.h"
#include "polling/text_encoding.h"

namespace ixan {

namespace {

constexpr std::string_view kExceptionPrefix = "CInternetException was thrown: ";
constexpr std::size_t kMaxErrorText = 1023;
// Exports run to megabytes; larger reads mean fewer calls than the 16 KiB default.
constexpr long kReceiveBufferBytes = 256L * 1024;

enum class BodyStop { None, NotOk, TooLarge, OutOfMemory };

struct BodySink {
    CURL* handle = nullptr;
    std::size_t limit = 0;
    std::string data;
    BodyStop stop = BodyStop::None;
};

std::size_t writeBody(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    if (n == 0) {
        return 0;
    }
    long code = 0;
    curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &code);
    if (code != 200) {
        // The body of a failed answer is of no use; stop reading it.
        sink->stop = BodyStop::NotOk;
        return CURL_WRITEFUNC_ERROR;
    }
    if (sink->data.empty()) {
        // One allocation for an announced length; the limit still applies below.
        curl_off_t announced = -1;
        curl_easy_getinfo(sink->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && static_cast<std::uint64_t>(announced) <= sink->limit) {
            try {
                sink->data.reserve(static_cast<std::size_t>(announced));
            } catch (const std::bad_alloc&) {
                sink->stop = BodyStop::OutOfMemory;
                return CURL_WRITEFUNC_ERROR;
            }
        }
    }
    if (n > sink->limit - sink->data.size()) {
        sink->stop = BodyStop::TooLarge;
        return CURL_WRITEFUNC_ERROR;
    }
    try {
        sink->data.append(ptr, n);
    } catch (const std::bad_alloc&) {
        sink->stop = BodyStop::OutOfMemory;
        return CURL_WRITEFUNC_ERROR;
    }
    return n;
}

// Characters that would move part of the host into the path, query or user part of
// the URL, so that a different place than the configured one would be asked.
bool hostFitsUrl(const std::string& host) {
    return std::none_of(host.begin(), host.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20U || byte == 0x7FU || c == '/' || c == '?' || c == '#' || c == '@' ||
               c == '\\';
    });
}

std::string buildUrl(const std::string& host, std::int32_t port, const std::string& uri) {
    std::string url = "http://";
    // A bare IPv6 address needs brackets to be told from the port.
    const bool ipv6 = host.find(':') != std::string::npos && host.front() != '[';
    url += ipv6 ? "[" + host + "]" : host;
    url += ':';
    url += std::to_string(port);
    if (uri.empty() || uri.front() != '/') {
        url += '/';
    }
    url += uri;
    return url;
}

void logException(std::string_view text) {
    std::string message(kExceptionPrefix);
    message.append(text.substr(0, kMaxErrorText));
    logActivity(message);
}

void logTransferError(CURLcode rc, const char* errorBuffer) {
    std::string_view text = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(rc);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    logException(text);
}

bool configure(CURL* handle, const std::string& url, const std::string& body, curl_slist* headers,
               const FetchLimits& limits, BodySink& sink, char* errorBuffer) {
    const long connectMs =
        static_cast<long>(std::max<std::int64_t>(limits.connectTimeout.count(), 1));
    const long stallSeconds =
        static_cast<long>(std::max<std::int64_t>(limits.stallTimeout.count(), 1));
    const CURLcode codes[] = {
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer),
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str()),
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http"),
        curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)),
        curl_easy_setopt(handle, CURLOPT_POST, 1L),
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data()),
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())),
        curl_easy_setopt(handle, CURLOPT_USERAGENT, "IXANSession"),
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers),
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L),
        curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes),
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, connectMs),
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L),
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds),
        curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(limits.maxBodyBytes)),
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeBody),
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink),
    };
    return std::all_of(std::begin(codes), std::end(codes),
                       [](CURLcode rc) { return rc == CURLE_OK; });
}

}  // namespace

bool postExportRequest(const std::string& host, std::int32_t port, const std::string& uri,
                       const std::string& body, std::string& received, const FetchLimits& limits) {
    if (port < 1 || port > 65535) {
        logException("port " + std::to_string(port) + " is outside 1 to 65535");
        return false;
    }
    if (!hostFitsUrl(host)) {
        logException("host name \"" + host + "\" is not valid");
        return false;
    }
    CurlEasy handle = makeCurlEasy();
    if (!handle) {
        logActivity("Error while creating HttpConnection");
        return false;
    }

    CurlList headers;
    // An empty value removes the header libcurl would add by itself.
    const bool headersBuilt =
        appendCurlHeader(headers, "Content-Type: application/x-www-form-urlencoded") &&
        appendCurlHeader(headers, "Accept:") && appendCurlHeader(headers, "Expect:");
    BodySink sink;
    sink.handle = handle.get();
    sink.limit = limits.maxBodyBytes;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string url = buildUrl(host, port, uri);
    if (!headersBuilt ||
        !configure(handle.get(), url, body, headers.get(), limits, sink, errorBuffer)) {
        logActivity("Error while creating HttpConnection::OpenRequest()");
        return false;
    }

    const CURLcode rc = curl_easy_perform(handle.get());
    long code = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &code);

    if (code != 0 && code != 200) {
        logActivity("FAILED HTTP Status Code: " + std::to_string(code));
        return false;
    }
    if (sink.stop == BodyStop::TooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        logException("answer body larger than " + std::to_string(limits.maxBodyBytes) +
                     " bytes, transfer abandoned");
        return false;
    }
    if (sink.stop == BodyStop::OutOfMemory) {
        logException("out of memory while reading the answer body");
        return false;
    }
    if (rc != CURLE_OK) {
        logTransferError(rc, errorBuffer);
        return false;
    }
    if (code == 0) {
        // Transfer done, yet no status line was understood.
        logActivity("Error while creating HttpConnection");
        return false;
    }
    received = std::move(sink.data);
    return true;
}

std::string fetchExport(const std::string& host, std::int32_t port, const std::string& uri,
                        const std::string& user, const std::string& pass,
                        const FetchLimits& limits) {
    std::string received;
    const std::string body = "user=" + user + "&pass=" + pass;
    if (!postExportRequest(host, port, uri, body, received, limits)) {
        logActivity("unable to get data from " + host + ":" + std::to_string(port) +
                    ", user=" + user + ", pass=" + pass + ", uri=" + uri);
        return {};
    }
    if (!isValidUtf8(received)) {
        received = windows1252ToUtf8(received);
    }
    percentDecodeInPlace(received);
    return received;
}

}  // namespace ixan
