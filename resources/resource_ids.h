#pragma once
// Resource ids shared by the resource script and the code (numbers only: windres reads this too).

// Application icon: group 1, its 108 px image first, then the small sizes.
#define IDI_APP 1
#define IDI_APP_IMAGE_108 30001
#define IDI_APP_IMAGE_16 30002
#define IDI_APP_IMAGE_32 30003
#define IDI_APP_IMAGE_48 30004

// Condition picture n (1..49) shows PNG resource IDB_WEATHER_BASE + m, where
// m is byte n - 1 of the RCDATA IDR_WEATHER_INDEX: pictures that share a
// drawing share one PNG, stored under the first number that shows it.
#define IDB_WEATHER_BASE 100
#define IDR_WEATHER_INDEX 300

// The card's options button picture (77 x 28, an RLE8 bitmap) and the options
// dialog background (571 x 342, PNG).
#define IDB_OPTIONS_PICTURE 200
#define IDB_OPTIONS_BACKGROUND 201
