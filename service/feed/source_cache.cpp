#include "feed/source_cache.h"

const char* CacheSourceName(CacheSource s) {
    switch (s) {
        case CacheSource::Fresh: return "hit";
        case CacheSource::Fetched: return "miss";
        case CacheSource::Stale: return "stale";
        case CacheSource::Failed: return "failed";
    }
    return "?";
}
