#pragma once
// Incremental commit of staged stream changes into an opened compound file.
#include "msi/cfb/image.h"
#include "msi/cfb/compound_file.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace msi::cfb {

struct change_set {
    std::optional<class_id> root_class;
    const std::map<std::u16string, compound_file::stream_pieces, name_less>& writes;
    const std::set<std::u16string, name_less>& removals;
};

// Writes the changed streams into free or new sectors, releases the sectors
// they used before, then writes the table and directory sectors that changed
// and the header last. Streams not named in `changes` are neither read nor
// written. Raises ERROR_CREATE_FAILED when the file cannot be opened for
// writing and ERROR_FUNCTION_FAILED when writing fails; after a failure
// during writing the image refuses further commits.
void commit_changes(image& img, const change_set& changes);

}  // namespace msi::cfb
