#pragma once

#include <string>

// Limits of one download. A start must never hang on a server that does not answer.
struct HttpLimits {
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 20000;
    long long maxBodyBytes = 16LL * 1024 * 1024;
    long maxRedirects = 5;
};

// The response body of a GET, or empty bytes on any failure: no connection, a timeout, a status
// other than 2xx, a body over the limit, too many redirects or a redirect to another scheme than
// http or https. Adds no request header of its own.
std::string HttpGet(const std::string& url, const HttpLimits& limits = {});
