// ParseForecast on a whole feed reply of about 2.4 KB: the HTTP headers and
// an RSS document with two forecast days, as the feed writes them.
#include <benchmark/benchmark.h>

#include <string>

#include "feed/forecast_parser.h"

namespace {

const char kReply[] =
    "HTTP/1.1 200 OK\r\n"
    "Date: Tue, 08 Dec 2026 15:50:12 GMT\r\n"
    "Content-Type: text/xml;charset=UTF-8\r\n"
    "Cache-Control: max-age=2699\r\n"
    "Connection: keep-alive\r\n"
    "\r\n"
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
    "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\" "
    "xmlns:geo=\"http://www.w3.org/2003/01/geo/wgs84_pos#\">\n"
    "<channel>\n\n"
    "<title>Cloudwick Feed - Springfield, XY</title>\n"
    "<link>http://weather.example.test/forecast/XYZZ0001_f.html</link>\n"
    "<description>Cloudwick Feed for Springfield, XY</description>\n"
    "<language>en-us</language>\n"
    "<lastBuildDate>Tue, 08 Dec 2026 9:50 am CST</lastBuildDate>\n"
    "<ttl>60</ttl>\n"
    "<yweather:location city=\"Springfield\" region=\"XY\"   country=\"Examplia\"/>\n"
    "<yweather:units temperature=\"F\" distance=\"mi\" pressure=\"in\" speed=\"mph\"/>\n"
    "<yweather:wind chill=\"28\"   direction=\"250\"   speed=\"10\" />\n"
    "<yweather:atmosphere humidity=\"81\"  visibility=\"9\"  pressure=\"30.12\"  rising=\"1\" />\n"
    "<yweather:astronomy sunrise=\"7:09 am\"   sunset=\"4:31 pm\"/>\n"
    "<image>\n"
    "<title>Cloudwick Feed</title>\n"
    "<width>142</width>\n"
    "<height>18</height>\n"
    "<link>http://weather.example.test</link>\n"
    "<url>http://weather.example.test/images/feed_logo.gif</url>\n"
    "</image>\n"
    "<item>\n"
    "<title>Conditions for Springfield, XY at 9:50 am CST</title>\n"
    "<geo:lat>39.8</geo:lat>\n"
    "<geo:long>-89.64</geo:long>\n"
    "<link>http://weather.example.test/forecast/XYZZ0001_f.html</link>\n"
    "<pubDate>Tue, 08 Dec 2026 9:50 am CST</pubDate>\n"
    "<yweather:condition  text=\"Partly Cloudy\"  code=\"30\"  temp=\"31\"  "
    "date=\"Tue, 08 Dec 2026 9:50 am CST\" />\n"
    "<description><![CDATA[\n"
    "<img src=\"http://weather.example.test/images/conditions/30.gif\"/><br />\n"
    "<b>Current Conditions:</b><br />\n"
    "Partly Cloudy, 31 F<BR />\n"
    "<BR /><b>Forecast:</b><BR />\n"
    "Tue - Partly Cloudy. High: 38 Low: 25<br />\n"
    "Wed - Mostly Sunny. High: 41 Low: 29<br />\n"
    "<br />\n"
    "<a href=\"http://weather.example.test/forecast/XYZZ0001_f.html\">Full Forecast at the "
    "example weather service</a><BR/><BR/>\n"
    "(provided by <a href=\"http://www.weather.example.test\" >The Example Weather "
    "Channel</a>)<br/>\n"
    "]]></description>\n"
    "<yweather:forecast day=\"Tue\" date=\"8 Dec 2026\" low=\"25\" high=\"38\" "
    "text=\"Partly Cloudy\" code=\"30\" />\n"
    "<yweather:forecast day=\"Wed\" date=\"9 Dec 2026\" low=\"29\" high=\"41\" "
    "text=\"Mostly Sunny\" code=\"34\" />\n"
    "<guid isPermaLink=\"false\">XYZZ0001_2026_12_08_9_50_CST</guid>\n"
    "</item>\n"
    "</channel>\n"
    "</rss>\n\n"
    "<!-- feed1.example.test uncompressed/chunked Tue Dec  8 07:50:12 PST 2026 -->\n";

void BM_ParseForecast(benchmark::State& state) {
    const std::string reply(kReply);
    if (reply.size() < 2300 || reply.size() > 2500) {
        state.SkipWithError("sample reply is not about 2.4 KB");
        return;
    }
    if (!ParseForecast(reply, 0).ok) {
        state.SkipWithError("sample reply does not parse");
        return;
    }
    for (auto _ : state) {
        ForecastResult r = ParseForecast(reply, 0);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(reply.size()));
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
}
BENCHMARK(BM_ParseForecast);

}  // namespace
