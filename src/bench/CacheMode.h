#pragma once

namespace quorlan {

// How a measured file operation met the file-system cache.
enum class CacheMode {
    None,         // a write: writes have no cache mode
    Cached,       // a regular read, through the cache
    Direct,       // an uncached read with O_DIRECT after the cached pages were dropped
    PagesDropped, // an uncached read without O_DIRECT (refused), right after the cached pages
                  // were dropped
    NotBypassed,  // an uncached read without O_DIRECT whose pages could not be dropped (fsync or
                  // the drop failed): a plain read that may have been served from the cache
};

} // namespace quorlan
