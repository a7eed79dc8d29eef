#pragma once
#include "dialog/resource_source.h"

// The program's own (English) resources. The application hands them to the
// dialog framework (set_program_resource_source) before any window exists.
const resource_source& program_resource_source();
