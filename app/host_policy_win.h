#pragma once
#include "app/host_policy.h"

// The hosts of this run, read from the registry once, at the first call.
const HostNames& ConfiguredHosts();
