#pragma once
// Weather feed replies for the tests, written the way the feed writes them:
// HTTP status line and headers, then the RSS document with the yweather
// elements in their fixed order.
#include <string>

struct ForecastDay {
    std::string day, date, low, high, text, code;
};

struct FeedSample {
    std::string lead = "Cloudwick Feed - ";  // 17 characters, skipped by the card
    std::string place = "Springfield, XY";
    std::string buildDate = "Mon, 07 Dec 2026 9:50 am XST";
    std::string chill = "28", direction = "50", speed = "10";
    std::string condText = "Fair", code = "34", temp = "31";
    std::string condDate = "Mon, 07 Dec 2026 9:50 am XST";
    ForecastDay day1{"Mon", "7 Dec 2026", "25", "38", "Partly Cloudy", "30"};
    ForecastDay day2{"Tue", "8 Dec 2026", "29", "41", "Mostly Sunny", "34"};
    // Attribute separator: the worked example uses single spaces; the feed
    // itself wrote two after the condition name and between its attributes.
    std::string condGap = " ";

    static std::string Forecast(const ForecastDay& d) {
        return "<yweather:forecast day=\"" + d.day + "\" date=\"" + d.date + "\" low=\"" + d.low +
               "\" high=\"" + d.high + "\" text=\"" + d.text + "\" code=\"" + d.code + "\" />\n";
    }

    std::string Channel() const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
               "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\" "
               "xmlns:geo=\"http://www.w3.org/2003/01/geo/wgs84_pos#\">\n<channel>\n\n"
               "<title>" + lead + place + "</title>\n"
               "<link>http://weather.example.test/forecast/XYZZ0001_f.html</link>\n"
               "<description>Cloudwick Feed for " + place + "</description>\n"
               "<language>en-us</language>\n"
               "<lastBuildDate>" + buildDate + "</lastBuildDate>\n"
               "<ttl>60</ttl>\n"
               "<yweather:location city=\"Springfield\" region=\"XY\"   country=\"Examplia\"/>\n"
               "<yweather:units temperature=\"F\" distance=\"mi\" pressure=\"in\" speed=\"mph\"/>\n";
    }

    std::string Wind() const {
        return "<yweather:wind chill=\"" + chill + "\"   direction=\"" + direction + "\"   speed=\"" +
               speed + "\" />\n";
    }

    std::string Middle() const {
        return "<yweather:atmosphere humidity=\"81\"  visibility=\"9\"  pressure=\"30.1\"  rising=\"1\" />\n"
               "<yweather:astronomy sunrise=\"7:24 am\"   sunset=\"5:15 pm\"/>\n"
               "<image>\n<title>Cloudwick Feed</title>\n<width>142</width>\n<height>18</height>\n"
               "<link>http://weather.example.test</link>\n"
               "<url>http://weather.example.test/logo.gif</url>\n</image>\n"
               "<item>\n<title>Conditions for " + place + " at 9:50 am XST</title>\n"
               "<geo:lat>40.71</geo:lat>\n<geo:long>-89.64</geo:long>\n"
               "<link>http://weather.example.test/forecast/XYZZ0001_f.html</link>\n"
               "<pubDate>" + buildDate + "</pubDate>\n";
    }

    std::string Condition() const {
        return "<yweather:condition" + condGap + "text=\"" + condText + "\"" + condGap + "code=\"" + code +
               "\"" + condGap + "temp=\"" + temp + "\"" + condGap + "date=\"" + condDate + "\" />\n";
    }

    std::string Description() const {
        return "<description><![CDATA[\n<img src=\"http://weather.example.test/pics/" + code +
               ".gif\"/><br />\n<b>Current Conditions:</b><br />\n" + condText + ", " + temp +
               " F<BR />\n<BR /><b>Forecast:</b><BR />\n" + day1.day + " - " + day1.text +
               ". High: " + day1.high + " Low: " + day1.low + "<br />\n" + day2.day + " - " +
               day2.text + ". High: " + day2.high + " Low: " + day2.low +
               "<br />\n<br />\n]]></description>\n";
    }

    std::string Tail() const {
        return "<guid isPermaLink=\"false\">XYZZ0001_2026_12_07_9_50_XST</guid>\n</item>\n</channel>\n"
               "</rss>\n<!-- served by feed1.example.test -->\n";
    }

    std::string Document() const {
        return Channel() + Wind() + Middle() + Condition() + Description() + Forecast(day1) +
               Forecast(day2) + Tail();
    }

    static std::string Headers() {
        return "HTTP/1.1 200 OK\r\nDate: Mon, 07 Dec 2026 15:50:12 GMT\r\n"
               "Content-Type: text/xml;charset=UTF-8\r\nConnection: keep-alive\r\n\r\n";
    }

    std::string Reply() const { return Headers() + Document(); }
};
