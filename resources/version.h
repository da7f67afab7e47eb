#pragma once
// One place for the version numbers the resource script and the code use.
// One version story: the card's about text, the version resource of both
// programs, the download's name and its read-me all say 1.23.
#define CLOUDWICK_VERSION_NUMBERS 1,23,0,0
#define CLOUDWICK_VERSION_TEXT "1.23"
#define CLOUDWICK_PRODUCT_NAME "Cloudwick"
#define CLOUDWICK_FILE_NAME "Cloudwick.exe"
#define CLOUDWICK_APP_VERSION "1.23"
