#pragma once
// One place for the version numbers the resource script and the code use.
#define CLOUDWICK_VERSION_NUMBERS 1,0,0,0
#define CLOUDWICK_VERSION_TEXT "1.00"
#define CLOUDWICK_PRODUCT_NAME "Cloudwick"
#define CLOUDWICK_FILE_NAME "Cloudwick.exe"
#define CLOUDWICK_APP_VERSION "1.23"
