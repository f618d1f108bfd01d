#pragma once
// The update package is unpacked over the program's folder by a script that copies whatever
// it is given and then starts the program elevated: only a sound zip may get that far.
#include <optional>
#include <string>

namespace quillbay::update {

// Why the bytes are not a zip the platform's folder view can unpack, or nothing when they
// are: an end-of-central-directory record whose fields agree with the file, at least one
// entry, every entry's central and local headers in place and inside the file, no
// encrypted entry, every entry stored or deflated, no name that is absolute, names a drive
// or climbs out with "..". Zip64 archives are understood.
std::optional<std::string> ZipProblem(const std::string& bytes);

}  // namespace quillbay::update
