"""The distinct condition pictures, by name. weather_set.txt says which image uses which."""
from svg_parts import (Picture, cloud, rain, drizzle, snowflake, pellet, bolt, sun, full_moon,
                       crescent, haze_band, grey_band, word, swoosh, starburst, sparkle,
                       WHITE_CLOUD, GREY_CLOUD, DARK_CLOUD)

ICY = "#1556a8"


def _rain_row(p, xs, y, length=7):
    for i, x in enumerate(xs):
        rain(p, x, y + (i % 2) * 3, length)


def storm_rain(p):
    cloud(p, 3, 29, 46, DARK_CLOUD)
    _rain_row(p, (11, 17, 37, 43), 33, 8)
    bolt(p, 19, 21, 1.15)


def windy_rain(p):
    cloud(p, 6, 25, 40, GREY_CLOUD)
    _rain_row(p, (12, 20, 28, 36, 44), 37, 9)
    word(p, "WINDY", 26, 35, 11.5, "#2c4a6e", stretch="condensed")


def rain_snow(p):
    cloud(p, 4, 28, 44, GREY_CLOUD)
    rain(p, 13, 33, 8)
    snowflake(p, 21, 44, 4.6)
    rain(p, 32, 33, 8)
    snowflake(p, 40, 45, 4.6)


def sleet(p):
    cloud(p, 4, 28, 44, GREY_CLOUD)
    rain(p, 12, 33, 7)
    pellet(p, 18, 45)
    rain(p, 25, 35, 7)
    pellet(p, 32, 46)
    rain(p, 39, 33, 7)
    pellet(p, 11, 47)
    pellet(p, 44, 47)


def rain_snow_icy(p):
    cloud(p, 4, 29, 44, GREY_CLOUD)
    word(p, "ICY", 26, 26, 11, ICY)
    rain(p, 13, 34, 8)
    snowflake(p, 21, 45, 4.6)
    rain(p, 32, 34, 8)
    snowflake(p, 40, 46, 4.6)


def _drizzle_rows(p, top):
    for row in range(3):
        for k in range(5):
            x = 10 + k * 8 + (4 if row % 2 else 0)
            if x < 47:
                drizzle(p, x, top + row * 6)


def drizzle_icy(p):
    grey_band(p, 3, 9, 46, 16)
    word(p, "ICY", 26, 21.5, 11, ICY, halo=None)
    _drizzle_rows(p, 30)


def plain_drizzle(p):
    grey_band(p, 3, 9, 46, 16)
    _drizzle_rows(p, 30)


def rain_icy(p):
    cloud(p, 4, 29, 44, GREY_CLOUD)
    word(p, "ICY", 26, 26, 11, ICY)
    _rain_row(p, (14, 22, 30, 38), 34, 9)


def showers(p):
    """Code 11: a lighter shower from a mid-sized cloud."""
    cloud(p, 7, 30, 38, GREY_CLOUD)
    for x, y in ((17, 35), (27, 37), (37, 35)):
        rain(p, x, y, 7)


def heavy_showers(p):
    """Codes 12, 39, 40: a bigger, darker cloud and dense long streaks."""
    cloud(p, 2, 29, 48, ("#a9afb8", "#6d747e", "#454b53"))
    for i, x in enumerate((9, 16, 23, 30, 37, 44)):
        rain(p, x, 33 + (i % 2) * 3, 12, width=1.8)


def snow_one(p):
    cloud(p, 4, 28, 44, WHITE_CLOUD)
    snowflake(p, 26, 41, 8, width=1.6)


def snow_few(p):
    cloud(p, 4, 28, 44, WHITE_CLOUD)
    snowflake(p, 15, 37, 4.6)
    snowflake(p, 35, 39, 4.6)
    snowflake(p, 25, 46, 4.6)


def snow_blowing(p):
    swoosh(p, 3, 14, 30)
    swoosh(p, 9, 30, 34)
    swoosh(p, 2, 44, 22, curl=False)
    snowflake(p, 43, 9, 5.5)
    snowflake(p, 20, 22, 5.0)
    snowflake(p, 41, 40, 5.5)
    snowflake(p, 9, 6, 3.2)
    snowflake(p, 30, 46, 3.6)


def snow(p):
    cloud(p, 4, 28, 44, WHITE_CLOUD)
    for x, y in ((11, 35), (23, 34), (35, 35), (17, 45), (29, 46), (42, 44)):
        snowflake(p, x, y, 4.2)


def _word_only(p, text, size, colour, baseline=32, stretch=None):
    word(p, text, 26, baseline, size, colour, stretch=stretch)


def word_dust(p):
    for x, y, r in ((8, 12, 1.2), (18, 8, 0.9), (33, 10, 1.3), (44, 14, 1), (12, 43, 1.1),
                    (26, 45, 1.3), (40, 42, 1.0), (47, 36, 0.8), (4, 36, 0.8)):
        p.add('<circle cx="%g" cy="%g" r="%g" fill="#b08850"/>' % (x, y, r))
    _word_only(p, "DUST", 15, "#8a5a22")


def word_fog(p):
    for y in (14, 38, 44):
        haze_band(p, 4, y, 44, 3.4, "#c2c6cc")
    _word_only(p, "FOG", 17, "#5f666f", baseline=33)


def word_haze(p):
    for y, x, w in ((12, 8, 36), (38, 4, 44), (44, 10, 32)):
        haze_band(p, x, y, w, 3.2, "#cdbf8e")
    _word_only(p, "HAZE", 14.5, "#7d6a34")


def word_smoke(p):
    p.add('<path d="M10 46c-4 -5 3 -8 0 -13M17 46c-4 -5 3 -8 0 -13" fill="none" stroke="#9a9a9a" '
          'stroke-width="2" stroke-linecap="round"/>')
    p.add('<path d="M37 18c-4 -5 3 -8 0 -13M44 18c-4 -5 3 -8 0 -13" fill="none" stroke="#9a9a9a" '
          'stroke-width="2" stroke-linecap="round"/>')
    _word_only(p, "SMOKE", 12.5, "#474747", stretch="condensed")


def word_windy(p):
    swoosh(p, 4, 17, 32)
    swoosh(p, 12, 42, 30)
    _word_only(p, "WINDY", 12.5, "#2c4a6e", stretch="condensed")


def word_frigid(p):
    # Icicles hanging from a frosty bar.
    p.add('<rect x="4" y="8" width="44" height="3" rx="1.5" fill="#bfe3fb" stroke="#4a95d0" stroke-width="0.8"/>')
    for x, h in ((9, 7), (16, 4), (23, 8), (31, 5), (38, 7), (44, 4)):
        p.add('<path d="M%g 11L%g %gL%g 11Z" fill="#d9f0ff" stroke="#4a95d0" stroke-width="0.8" '
              'stroke-linejoin="round"/>' % (x - 2, x, 11 + h, x + 2))
    _word_only(p, "FRIGID", 12, "#1b6cb8", baseline=36, stretch="condensed")


def clouds(p):
    cloud(p, 14, 24, 34, ("#f4f6f9", "#c9d0d8", "#8793a0"))
    cloud(p, 2, 42, 40, WHITE_CLOUD)


def moon_clouds(p):
    crescent(p, 18, 16, 12)
    cloud(p, 8, 44, 42, WHITE_CLOUD)


def sun_clouds(p):
    sun(p, 18, 17, 9)
    cloud(p, 8, 45, 42, WHITE_CLOUD)


def moon_haze(p):
    crescent(p, 24, 20, 15)
    haze_band(p, 3, 30, 46, 4.2)
    haze_band(p, 8, 37, 40, 4.2)
    haze_band(p, 4, 44, 42, 4.2)


def sun_small_cloud(p):
    sun(p, 22, 21, 11)
    cloud(p, 24, 47, 26, WHITE_CLOUD)


def moon_full(p):
    full_moon(p, 26, 26, 20)


def plain_sun(p):
    sun(p, 26, 26, 13)


def moon_full_fair(p):
    """Code 33: a smaller full moon without craters among stars, unlike code 31."""
    p.defs.append('<radialGradient id="halo"><stop offset="0.55" stop-color="#f3e7a8" stop-opacity="0.9"/>'
                  '<stop offset="1" stop-color="#f3e7a8" stop-opacity="0"/></radialGradient>')
    p.add('<circle cx="24" cy="28" r="22" fill="url(#halo)"/>')
    full_moon(p, 24, 28, 14, craters=False)
    sparkle(p, 44, 10, 6)
    sparkle(p, 9, 7, 4)
    sparkle(p, 46, 40, 4)


def sun_haze(p):
    sun(p, 26, 20, 11)
    haze_band(p, 3, 30, 46, 4.2)
    haze_band(p, 8, 37, 40, 4.2)
    haze_band(p, 4, 44, 42, 4.2)


def sun_hot(p):
    sun(p, 26, 19, 10)
    word(p, "HOT", 26, 48, 14, "#d01c10")


def storm(p):
    cloud(p, 3, 30, 46, DARK_CLOUD)
    bolt(p, 17, 22, 1.2)


def windy_snow(p):
    word(p, "WINDY", 26, 17, 12.5, "#2c4a6e", stretch="condensed")
    swoosh(p, 4, 24, 30, width=1.4)
    for x, y, r in ((10, 34, 4.5), (26, 38, 5), (42, 33, 4.5), (18, 47, 3.6), (36, 47, 3.6)):
        snowflake(p, x, y, r)


def moon_rain(p):
    crescent(p, 15, 13, 10)
    cloud(p, 8, 35, 40, GREY_CLOUD)
    for i, x in enumerate((17, 26, 35, 44)):
        rain(p, x, 39 + (i % 2) * 2, 7)


def moon_snow(p):
    crescent(p, 15, 13, 10)
    cloud(p, 8, 35, 40, WHITE_CLOUD)
    for x, y in ((16, 42), (28, 45), (40, 42)):
        snowflake(p, x, y, 4.4)


def moon_storm(p):
    crescent(p, 15, 13, 10)
    cloud(p, 8, 35, 40, DARK_CLOUD)
    bolt(p, 22, 28, 0.95)


def not_available(p):
    starburst(p, 26, 26, 25, 19)
    word(p, "N/A", 26, 31.5, 15, "#1e1e1e", halo="#ffffff")


DRAWINGS = {
    "storm_rain": storm_rain, "windy_rain": windy_rain, "rain_snow": rain_snow, "sleet": sleet,
    "rain_snow_icy": rain_snow_icy, "drizzle_icy": drizzle_icy, "drizzle": plain_drizzle,
    "rain_icy": rain_icy, "showers": showers, "heavy_showers": heavy_showers,
    "snow_one": snow_one, "snow_few": snow_few, "snow_blowing": snow_blowing, "snow": snow,
    "word_dust": word_dust, "word_fog": word_fog, "word_haze": word_haze, "word_smoke": word_smoke,
    "word_windy": word_windy, "word_frigid": word_frigid, "clouds": clouds,
    "moon_clouds": moon_clouds, "sun_clouds": sun_clouds, "moon_haze": moon_haze,
    "sun_small_cloud": sun_small_cloud, "moon_full": moon_full, "sun": plain_sun,
    "moon_full_fair": moon_full_fair, "sun_haze": sun_haze, "sun_hot": sun_hot, "storm": storm,
    "windy_snow": windy_snow, "moon_rain": moon_rain, "moon_snow": moon_snow,
    "moon_storm": moon_storm, "not_available": not_available,
}


def drawing_svg(name):
    p = Picture()
    DRAWINGS[name](p)
    return p.svg()
