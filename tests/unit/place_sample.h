#pragma once
// Place-search replies shaped like the geo.places results the dialog reads.
#include <string>

inline std::string PlaceElement(const std::string& woeid, const std::string& name,
                                const std::string& locality) {
    return "<place xml:lang=\"en-US\" xmlns=\"http://where.yahooapis.com/v1/schema.rng\" "
           "yahoo:uri=\"http://where.yahooapis.com/v1/place/" + woeid + "\">"
           "<woeid>" + woeid + "</woeid><placeTypeName code=\"7\">Town</placeTypeName>"
           "<name>" + name + "</name>"
           "<country code=\"XY\" type=\"Country\" woeid=\"23424999\">Examplia</country>"
           "<admin1 code=\"XY-SP\" type=\"State\" woeid=\"2347599\">Spring State</admin1>"
           "<admin2 code=\"\" type=\"County\" woeid=\"12589999\">Sangam County</admin2><admin3/>" +
           locality +
           "<locality2/><postal type=\"Zip Code\" woeid=\"12780999\">62701</postal>"
           "<centroid><latitude>39.801090</latitude><longitude>-89.643600</longitude></centroid>"
           "<boundingBox><southWest><latitude>39.701672</latitude><longitude>-89.764091</longitude>"
           "</southWest><northEast><latitude>39.866871</latitude><longitude>-89.570229</longitude>"
           "</northEast></boundingBox><areaRank>5</areaRank><popRank>11</popRank>"
           "<timezone type=\"Time Zone\" woeid=\"56043661\">America/Chicago</timezone></place>";
}

inline std::string TownLocality(const std::string& woeid, const std::string& name) {
    return "<locality1 type=\"Town\" woeid=\"" + woeid + "\">" + name + "</locality1>";
}

inline std::string PlaceReplyText(const std::string& places, int count = 1) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml;charset=utf-8\r\nConnection: keep-alive\r\n\r\n"
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<query xmlns:yahoo=\"http://www.yahooapis.com/v1/base.rng\" yahoo:count=\"" +
           std::to_string(count) +
           "\" yahoo:created=\"2026-12-08T09:50:00Z\" yahoo:lang=\"en-US\"><results>" + places +
           "</results></query>";
}

inline std::string SpringfieldReply() {
    return PlaceReplyText(PlaceElement("1234567", "Springfield", TownLocality("1234567", "Springfield")));
}
