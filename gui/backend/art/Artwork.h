// The images of the module's GUI: ids, pixel sizes, film-strip grids, and their painters.
#pragma once

#include <cairo.h>

#include <vector>

namespace art {

struct ImageInfo {
  int id;
  int width, height;  // pixels
  int frames, columns, rows;
  const char* role;
};

const std::vector<ImageInfo>& ImageTable();
// Renders one image at its pixel size (twice the layout size); the caller destroys the surface.
cairo_surface_t* RenderImage(const ImageInfo& image);

}  // namespace art
