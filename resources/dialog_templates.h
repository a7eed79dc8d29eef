#pragma once
#include "dialog/dialog_template.h"
#include "resources/resource_texts.h"

#include <vector>

// Templates 102, 132, 139, 1066 and 1075 with the captions of one language.
std::vector<dialog_template> build_dialog_templates(const resource_texts& texts);
