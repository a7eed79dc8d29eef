#include "installer/earlier_transform.h"

#include <stdexcept>
#include <string>

void apply_earlier_transform(msi::Database& database, const std::filesystem::path& transform) {
    const std::vector<std::string> misfits = database.ValidateTransform(transform);
    if (!misfits.empty()) {
        std::string why = "the transform does not fit the package:";
        for (const auto& sentence : misfits) why += " " + sentence;
        throw std::runtime_error(why);
    }
    // Every condition is an error: a transform this utility wrote only
    // changes rows the package has.
    database.ApplyTransform(transform, msi::msiTransformErrorNone);
}
