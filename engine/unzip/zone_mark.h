// The Mark of the Web of a downloaded archive carried over to the files extracted from it, as
// Windows expects of programs that unpack downloaded files: the same zone, and the archive's
// address fields.
#pragma once

#include <string>
#include <string_view>

namespace cv {

// The Zone.Identifier text for the files extracted from an archive whose own stream holds
// `archiveMark`: its ZoneId, and its ReferrerUrl and HostUrl when it has them. A stream whose zone
// cannot be read gives ZoneId 3, the Internet zone: the mark errs on the side of caution.
std::string ExtractedFileMark(std::string_view archiveMark);

}  // namespace cv
