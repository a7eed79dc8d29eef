#include "resources/program_resources.h"

#include "resources/english_texts.h"
#include "resources/program_icon.h"
#include "resources/translated_resource_source.h"

const resource_source& program_resource_source() {
    static const translated_resource_source source(english_texts(), program_icon_images());
    return source;
}
