// Replacing a document's file with new content, safely: the content is
// written whole to a new file beside it and renamed over it only once it is
// on disk, so a full disk or a crash never leaves a truncated document.
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace tolvan {

// Writes data as the file at path (made when missing). A symbolic link is
// followed: the file it points to gets the content, the link stays. An
// existing file keeps its owner, group and permissions (the owner and group
// as far as the system lets this process set them), so a save by the
// administrator does not take a user's private file away from its owner.
// On failure returns false with the system's reason in *reason ("No space
// left on device") and leaves the file and its folder as they were.
bool ReplaceFileContent(const std::string& path, std::string_view data, std::string* reason);

// The steps of a replacement, for tests: a hook returning an errno value
// other than 0 makes that step fail with it, as the system would.
enum class ReplaceStep { Create, Write, Sync, Rename };
using ReplaceFaultHook = std::function<int(ReplaceStep)>;
void SetReplaceFaultHook(ReplaceFaultHook hook);

}  // namespace tolvan
