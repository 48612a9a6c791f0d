// The HTTP client beside a bare libcurl loop: 2,000 sequential GETs of a
// small page from a server on 127.0.0.1, each side on one kept-alive
// connection. The client works as the gate runner uses it (default headers
// reset before every request, a Referer, the cookie list, the answer's headers
// parsed); the bare loop sends the same header lines. The summary prints both
// times and their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "gates/rawserver.h"
#include "httpsend.h"

namespace {

constexpr int kRequests = 2000;

const std::string kPage = "<html><body>" + std::string(1000, 'x') + "</body></html>";

RawServer& Server() {
  static RawServer server(Replying([](const std::string&) {
    return Answer("200 OK", "Content-Type: text/html; charset=windows-1251\r\nSet-Cookie: sid=1; path=/\r\n", kPage);
  }));
  return server;
}

std::map<std::string, double>& Best() {
  static std::map<std::string, double> best;
  return best;
}

void Keep(const std::string& key, double seconds) {
  auto [it, added] = Best().emplace(key, seconds);
  if (!added && seconds < it->second) it->second = seconds;
}

template <class Loop>
void Time(benchmark::State& state, const std::string& key, Loop loop) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    if (!loop()) {
      state.SkipWithError("a request failed");
      return;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Keep(key, seconds);
  }
  state.counters["requests/s"] = benchmark::Counter(double(kRequests) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_Wrapper(benchmark::State& state) {
  std::string url = Server().URL("/page?x=1");
  TMyHTTPSend client;
  client.Protocol = "1.1";
  client.UserAgent = kBrowserUserAgent;
  client.KeepAlive = true;
  Time(state, "wrapper", [&] {
    for (int i = 0; i < kRequests; ++i) {
      client.ResetHeaders();
      client.Headers.push_back("Referer: http://127.0.0.1/");
      if (!client.HTTPMethod("GET", url) || client.Document != kPage) return false;
    }
    return true;
  });
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_BareCurl(benchmark::State& state) {
  std::string url = Server().URL("/page?x=1");
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  for (const char* line :
       {"User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11) Gecko/20071127 Firefox/2.0.0.11",
        "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5",
        "Accept-Language: ru-ru,ru;q=0.8,en-us;q=0.5,en;q=0.3", "Accept-Charset: windows-1251,utf-8;q=0.7,*;q=0.7",
        "Pragma: no-cache", "Cache-Control: no-cache", "Referer: http://127.0.0.1/", "Cookie: sid=1"})
    headers = curl_slist_append(headers, line);
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  Time(state, "bare libcurl", [&] {
    for (int i = 0; i < kRequests; ++i) {
      body.clear();
      if (curl_easy_perform(curl) != CURLE_OK || body != kPage) return false;
    }
    return true;
  });
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}

}  // namespace

int main(int argc, char** argv) {
  InitHTTPLibrary();
  benchmark::RegisterBenchmark("BM_BareCurl_2000GETs", &BM_BareCurl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
  benchmark::RegisterBenchmark("BM_Wrapper_2000GETs", &BM_Wrapper)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  auto wrapper = Best().find("wrapper");
  auto bare = Best().find("bare libcurl");
  if (wrapper == Best().end() || bare == Best().end()) return 1;
  std::printf("\n%d sequential GETs (best of 5): wrapper %.1f ms, bare libcurl %.1f ms, ratio %.2f (target 1.30)\n",
              kRequests, wrapper->second * 1000, bare->second * 1000, wrapper->second / bare->second);
  return 0;
}
