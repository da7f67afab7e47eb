"""A stand-in for Open-Meteo and Nominatim on a loopback port, for the Wine tests:
Open-Meteo-shaped JSON in the source's key order, with values whose
rounding and names whose accents test that both programs write the same
bytes. `delay` makes every answer late."""
import json
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PLACES = {
    4250542: dict(name="Springfield", latitude=39.80172, longitude=-89.64371, elevation=182.0, feature_code="PPLA",
                  country_code="US", admin1_id=4896861, admin2_id=4250542, timezone="America/Chicago",
                  population=116250, postcodes=["62701", "62702"], country_id=6252001, country="United States",
                  admin1="Illinois", admin2="Sangamon"),
    4409896: dict(name="Springfield", latitude=37.21533, longitude=-93.29824, elevation=396.0, feature_code="PPLA2",
                  country_code="US", admin1_id=4398678, timezone="America/Chicago", population=169176,
                  country_id=6252001, country="United States", admin1="Missouri"),
    # Names the card cannot show as they are: Vietnamese letters and ideographs.
    1584071: dict(name="\u0110\u00e0 L\u1ea1t", latitude=11.94646, longitude=108.44193, elevation=1500.0,
                  feature_code="PPLA", country_code="VN", timezone="Asia/Ho_Chi_Minh", population=197000,
                  country_id=1562822, country="Vietnam", admin1="L\u00e2m \u0110\u1ed3ng"),
    9000014: dict(name="\u5317\u4eac\u5e02", latitude=39.9075, longitude=116.39723, elevation=49.0,
                  feature_code="PPLC", country_code="CN", timezone="Asia/Shanghai", population=18960744,
                  country_id=1814991, country="China", admin1="\u5317\u4eac"),
    # A name in Cyrillic, for a machine whose ANSI code page is 1251.
    524901: dict(name="\u041c\u043e\u0441\u043a\u0432\u0430", latitude=55.75222, longitude=37.61556,
                 elevation=144.0, feature_code="PPLC", country_code="RU", timezone="Europe/Moscow",
                 population=10381222, country_id=2017370, country="Russia",
                 admin1="\u041c\u043e\u0441\u043a\u0432\u0430"),
    2657896: dict(name="Z\u00fcrich", latitude=47.36667, longitude=8.55, elevation=429.0, feature_code="PPLA",
                  country_code="CH", admin1_id=2657895, timezone="Europe/Zurich", population=341730,
                  country_id=2658434, country="Switzerland", admin1="Z\u00fcrich"),
}


# OpenStreetMap objects as Nominatim's jsonv2 gives them, by the text that finds them.
OSM = {
    "eiffel tower": dict(place_id=335997640, licence="Data \u00a9 OpenStreetMap contributors, ODbL 1.0.",
                         osm_type="way", osm_id=5013364, lat="48.8582599", lon="2.2945006", category="man_made",
                         type="tower", name="Eiffel Tower",
                         address=dict(man_made="Eiffel Tower", city="Paris", state="\u00cele-de-France",
                                      postcode="75007", country="France", country_code="fr")),
}

# December offsets of the zones above, so the documents' zone text is the
# real one (CST, CET) or, where a zone has no letters, GMT+7.
OFFSETS = {"America/Chicago": -21600, "Europe/Zurich": 3600, "Asia/Ho_Chi_Minh": 25200,
           "Asia/Shanghai": 28800, "Europe/Paris": 3600, "Europe/Moscow": 10800}


def zone_of(lat):
    for p in PLACES.values():
        if abs(p["latitude"] - lat) < 0.001:
            return dict(timezone=p["timezone"], utc_offset_seconds=OFFSETS[p["timezone"]])
    if abs(lat - 48.8583) < 0.001:
        return dict(timezone="Europe/Paris", utc_offset_seconds=3600)
    return {}


def place_json(pid):
    return dict(id=pid, **PLACES[pid])


def forecast_json(metric, lat):
    """Values with halves and binary fractions, so rounding must agree."""
    deg = "\u00b0C" if metric else "\u00b0F"
    south = lat < 45
    cur = dict(time="2026-12-08T09:45", interval=900,
               temperature_2m=-0.4 if metric else 31.3, apparent_temperature=-5.45 if metric else 22.5,
               wind_speed_10m=16.42 if metric else 10.2, wind_direction_10m=247.5, weather_code=71 if south else 2,
               is_day=0 if south else 1, relative_humidity_2m=78, pressure_msl=1021.35, visibility=24140.0)
    daily = dict(time=["2026-12-%02d" % d for d in range(8, 13)],
                 weather_code=[3, 71, None, 0, 95],
                 temperature_2m_max=[2.45, 0.5, -1.5, 4.05, None] if metric else [36.4, 32.9, 29.3, 39.3, None],
                 temperature_2m_min=[-3.85, -6.5, -4.55, -2.0, -1.0] if metric else [25.0, 20.3, 23.8, 28.4, 30.2],
                 sunrise=["2026-12-%02dT07:%02d" % (d, d) for d in range(8, 13)],
                 sunset=["2026-12-%02dT16:%02d" % (d, 31 + d) for d in range(8, 13)])
    return dict(latitude=lat, longitude=-89.64, generationtime_ms=0.05, utc_offset_seconds=-21600,
                timezone="America/Chicago", timezone_abbreviation="CST", elevation=182.0,
                current_units=dict(time="iso8601", interval="seconds", temperature_2m=deg, apparent_temperature=deg,
                                   wind_speed_10m="km/h" if metric else "mp/h", wind_direction_10m="\u00b0",
                                   weather_code="wmo code", is_day="", relative_humidity_2m="%",
                                   pressure_msl="hPa", visibility="m"),
                current=cur,
                daily_units=dict(time="iso8601", weather_code="wmo code", temperature_2m_max=deg,
                                 temperature_2m_min=deg, sunrise="iso8601", sunset="iso8601"),
                daily=daily)


class StubUpstream:
    def __init__(self):
        stub = self
        self.delay = 0.0
        self.calls = 0
        self.fail_with = 0  # an HTTP status every answer gets instead, when set
        self.drop = False  # when set, every connection ends without an answer (the source is unreachable)

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                stub.calls += 1
                if stub.drop:
                    self.close_connection = True
                    return
                if stub.delay:
                    time.sleep(stub.delay)
                url = urllib.parse.urlsplit(self.path)
                q = dict(urllib.parse.parse_qsl(url.query))
                status, body = 404, {"error": True, "reason": "no such path"}
                if stub.fail_with:
                    status, body = stub.fail_with, {"error": True, "reason": "failing on purpose"}
                elif url.path == "/v1/forecast":
                    status = 200
                    lat = float(q.get("latitude", "0"))
                    body = forecast_json(q.get("temperature_unit", "celsius") == "celsius", lat)
                    body.update(zone_of(lat))
                elif url.path == "/v1/search":
                    name = q.get("name", "").lower()
                    found = [p for p in sorted(PLACES) if PLACES[p]["name"].lower().startswith(name)]
                    status, body = 200, {"generationtime_ms": 0.4}
                    if found:
                        body = {"results": [place_json(p) for p in found], "generationtime_ms": 0.9}
                elif url.path == "/v1/get":
                    pid = int(q["id"]) if q.get("id", "").isdigit() else 0
                    if pid in PLACES:
                        status, body = 200, place_json(pid)
                    else:
                        status, body = 400, {"error": True, "reason": "Location ID not found."}
                elif url.path == "/search":  # Nominatim
                    status, body = 200, [OSM[k] for k in OSM if k == q.get("q", "").lower()]
                elif url.path == "/lookup":
                    status, body = 200, [o for o in OSM.values()
                                         if q.get("osm_ids") == o["osm_type"][0].upper() + str(o["osm_id"])]
                data = json.dumps(body, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
                self.send_response(status)
                self.send_header("Content-Type", "application/json; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def forecast_url(self):
        return "http://127.0.0.1:%d/v1/forecast" % self.port

    @property
    def geocoding_url(self):
        return "http://127.0.0.1:%d/v1" % self.port

    @property
    def nominatim_url(self):
        return "http://127.0.0.1:%d" % self.port

    def close(self):
        self.server.shutdown()
        self.server.server_close()
