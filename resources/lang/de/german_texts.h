#pragma once
#include "resources/resource_texts.h"

// The German texts of the program's resources.
const resource_texts& german_texts();
