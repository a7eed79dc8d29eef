// Entry of the German language module: the program looks it up by name after
// loading the library and takes every resource from the source it returns.
#include "german_texts.h"
#include "resources/program_icon.h"
#include "resources/translated_resource_source.h"

extern "C" __attribute__((visibility("default"))) const resource_source* dialog_resource_source() {
    static const translated_resource_source source(german_texts(), program_icon_images());
    return &source;
}
