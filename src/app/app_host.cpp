#include "app/app_host.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

const char* IAppHost::Version() {
    return TESSEL_VERSION;
}
