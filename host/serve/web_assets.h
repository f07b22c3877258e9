// The workbench page's files (web/), embedded into the program when it is
// built (cmake/embed-files.cmake writes the table).
#ifndef HOST_WEB_ASSETS_H
#define HOST_WEB_ASSETS_H

#include <cstddef>

namespace host {

struct WebAsset {
  const char* path;  // "/index.html", "/app.js", ...
  const char* contentType;
  const unsigned char* data;
  std::size_t size;
};

extern const WebAsset kWebAssets[];
extern const std::size_t kWebAssetCount;

}  // namespace host

#endif
