#include "app/SaveUserFile.h"

#include "bench/UserFile.h"

namespace quorlan {

std::string saveFailureSentence(std::string_view subject, const std::string &path, int error) {
    const std::size_t slash = path.rfind('/');
    const bool bare = slash == std::string::npos;
    const std::string name = bare ? path : path.substr(slash + 1);
    const std::string folder = bare         ? std::string(".")
                               : slash == 0 ? std::string("/")
                                            : path.substr(0, slash);
    std::string text = "The ";
    text.append(subject).append(" could not be saved as \u201c");
    text.append(name).append("\u201d in \u201c").append(folder).append("\u201d: ");
    text.append(errorText(error)).append(".");
    return text;
}

std::optional<std::string> saveUserFile(SysCalls &calls, std::string_view subject,
                                        const std::string &path, std::string_view bytes) {
    const int error = writeUserFile(calls, path, bytes);
    if (error != 0)
        return saveFailureSentence(subject, path, error);
    return std::nullopt;
}

} // namespace quorlan
