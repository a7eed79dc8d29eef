#include "installer/earlier_transform.h"

#include <algorithm>
#include <stdexcept>
#include <string>

std::vector<std::string> earlier_transform_misfits(msi::Database& database, const std::filesystem::path& transform) {
    std::vector<std::string> misfits = database.ValidateTransform(transform);
    // A transform whose flags ask for no product check may still be another
    // product's: its rows would land in a package they were not made for.
    for (auto& sentence : database.ValidateTransform(transform, msi::msiTransformValidationProduct))
        if (std::ranges::find(misfits, sentence) == misfits.end()) misfits.push_back(std::move(sentence));
    return misfits;
}

void apply_earlier_transform(msi::Database& database, const std::filesystem::path& transform, bool checked) {
    if (checked) {
        const std::vector<std::string> misfits = earlier_transform_misfits(database, transform);
        if (!misfits.empty()) {
            std::string why = "the transform does not fit the package:";
            for (const auto& sentence : misfits) why += " " + sentence;
            throw std::runtime_error(why);
        }
    }
    // Every condition is an error: a transform this utility wrote only
    // changes rows the package has.
    database.ApplyTransform(transform, msi::msiTransformErrorNone);
}
