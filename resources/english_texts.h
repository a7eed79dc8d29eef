#pragma once
#include "resources/resource_texts.h"

// The program's built-in (English) texts.
const resource_texts& english_texts();
