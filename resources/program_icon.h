#pragma once
#include "dialog/resource_source.h"

#include <vector>

// The application icon (resource 128) at every size it is drawn in, smallest
// first. The images are rendered from icon/quorlin-deploy.svg at build time.
std::vector<icon_image> program_icon_images();
