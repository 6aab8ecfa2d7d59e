#include "native/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <system_error>

#include "settings/load_settings.h"
#include "settings/settings.h"

namespace brisane {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t";

std::string_view TrimStart(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view Trim(std::string_view text) {
  text = TrimStart(text);
  const std::size_t last = text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A name the line form can give back exactly: a name with '=' would split in
// the wrong place, and blanks around it are trimmed on reading.
bool WritableName(std::string_view name) {
  return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string_view::npos && name[0] != '[' &&
         name[0] != '#' && name[0] != ';' && Trim(name).size() == name.size();
}

bool WritableKeyName(std::string_view name) {
  return !name.empty() && !HasLineBreak(name) && name.find(']') == std::string_view::npos &&
         Trim(name).size() == name.size();
}

void FormatKey(const MemorySettingsStore::KeyData& key, const std::string& path, std::string& out) {
  if (!path.empty()) out += "\n[" + path + "]\n";
  for (const auto& [name, data] : key.values) {
    // Only what reads back as written; such values cannot come from the
    // program's own settings.
    if (!WritableName(name) || HasLineBreak(data)) continue;
    out += name;
    out += '=';
    out += data;
    out += '\n';
  }
  for (const auto& [name, sub] : key.subKeys) {
    if (!WritableKeyName(name)) continue;
    FormatKey(sub, path.empty() ? name : path + "\\" + name, out);
  }
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One line of the file as both the reader and the rewriter see it.
struct FileLine {
  std::string_view whole;    // with its line end
  std::string_view body;     // without it
  std::string_view trimmed;  // without blanks around it

  bool Ignored() const { return trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';'; }
  bool Heading() const { return trimmed[0] == '['; }
  // A heading's key below top; nothing for a damaged heading, whose lines
  // are put nowhere: guessing their key could move values between keys.
  std::optional<std::string> Section(const std::string& top) const {
    if (trimmed.back() != ']' || trimmed.find(']') != trimmed.size() - 1) return std::nullopt;
    const std::string_view path = Trim(trimmed.substr(1, trimmed.size() - 2));
    return path.empty() ? top : top + "\\" + std::string(path);
  }
  std::size_t Equals() const { return body.find('='); }
  // The name before '='; empty when there is none.
  std::string_view Name() const {
    return Equals() == std::string_view::npos ? std::string_view() : Trim(body.substr(0, Equals()));
  }
};

FileLine TakeLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  FileLine line;
  line.whole = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
  text.remove_prefix(line.whole.size());
  line.body = line.whole;
  if (line.body.ends_with('\n')) line.body.remove_suffix(1);
  if (line.body.ends_with('\r')) line.body.remove_suffix(1);
  line.trimmed = Trim(line.body);
  return line;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Rewrites the file's own text with the tree's values: every line it does not
// own (comments, blank lines, lines it could not read, whole sections under a
// damaged heading) stays as the user left it, each value line takes the
// tree's value, and values the file lacked go at the end of their section or
// into new sections at the end.
class Merger {
 public:
  Merger(MemorySettingsStore& store, std::string top) : store_(store), top_(std::move(top)) {}

  std::string Run(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) {
      out_ += kByteOrderMark;
      text.remove_prefix(kByteOrderMark.size());
    }
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r') eol_ = "\r\n";
    std::optional<std::string> section = top_;
    bool leading = true;
    while (!text.empty()) {
      const FileLine line = TakeLine(text);
      if (line.Ignored()) {
        out_ += line.whole;
        if (leading) insertAt_ = out_.size();  // new top values go below the opening comments
        continue;
      }
      leading = false;
      if (line.Heading()) {
        if (section) CloseSection(*section);
        section = line.Section(top_);
        out_ += line.whole;
        insertAt_ = out_.size();
        continue;
      }
      const std::string_view name = line.Name();
      const std::string* data = section && !name.empty() ? store_.Text(*section, name) : nullptr;
      if (!data || HasLineBreak(*data)) {
        out_ += line.whole;
        continue;
      }
      // The tree's value, the line's name and layout kept.
      const std::string_view value = line.body.substr(line.Equals() + 1);
      out_ += line.body.substr(0, line.Equals() + 1 + (value.size() - TrimStart(value).size()));
      out_ += *data;
      const std::string_view ending = line.whole.substr(line.body.size());
      out_ += ending.empty() ? eol_ : std::string(ending);
      written_.insert(Id(*section, name));
      insertAt_ = out_.size();
    }
    if (section) CloseSection(*section);
    if (const MemorySettingsStore::KeyData* key = store_.Find(top_)) AppendNew(*key, std::string());
    return out_;
  }

 private:
  static std::string Id(std::string_view section, std::string_view name) {
    return Lower(section) + '\n' + Lower(name);
  }

  std::string Unwritten(const MemorySettingsStore::KeyData& key, const std::string& section) {
    std::string lines;
    for (const auto& [name, data] : key.values) {
      if (!WritableName(name) || HasLineBreak(data) || !written_.insert(Id(section, name)).second) continue;
      lines += name + '=' + data + eol_;
    }
    return lines;
  }

  void CloseSection(const std::string& section) {
    const MemorySettingsStore::KeyData* key = store_.Find(section);
    if (!key) return;
    std::string lines = Unwritten(*key, section);
    // A last line without its break would run into the first new one.
    if (!lines.empty() && insertAt_ > 0 && out_[insertAt_ - 1] != '\n') lines.insert(0, eol_);
    out_.insert(insertAt_, lines);
    insertAt_ += lines.size();
  }

  void AppendNew(const MemorySettingsStore::KeyData& key, const std::string& path) {
    const std::string lines = Unwritten(key, path.empty() ? top_ : top_ + "\\" + path);
    if (!lines.empty()) {
      if (!out_.empty() && out_.back() != '\n') out_ += eol_;
      out_ += eol_ + "[" + path + "]" + eol_ + lines;
    }
    for (const auto& [name, sub] : key.subKeys)
      if (WritableKeyName(name)) AppendNew(sub, path.empty() ? name : path + "\\" + name);
  }

  MemorySettingsStore& store_;
  const std::string top_;
  std::string out_;
  std::string eol_ = "\n";
  std::size_t insertAt_ = 0;
  std::set<std::string> written_;
};

std::string ErrnoText(const fs::path& path) { return path.string() + ": " + std::strerror(errno); }

// The file a save replaces: a symbolic link is followed, so the link stays
// and the file it names gets the settings.
fs::path SaveTarget(const fs::path& path) {
  fs::path target = path;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code code;
    if (!fs::is_symlink(fs::symlink_status(target, code))) break;
    const fs::path next = fs::read_symlink(target, code);
    if (code) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes the text to a file beside the target, on disk before it takes the
// target's name, so a full disk or a power cut leaves the old file or the new
// one, never a part of either.
bool ReplaceFile(const fs::path& target, std::string_view text, std::string& error) {
  fs::path temporary = target;
  temporary += ".new";
  struct stat old = {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  ::unlink(temporary.c_str());  // left by a save that was cut off
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    error = ErrnoText(temporary);
    return false;
  }
  bool ok = (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, text) && ::fsync(fd) == 0;
  if (!ok) error = ErrnoText(temporary);
  if (::close(fd) != 0 && ok) {
    error = ErrnoText(temporary);
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    error = ErrnoText(target);
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The new name itself is on disk once its folder is.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

fs::path SettingsFilePath(const char* xdgConfigHome, const char* home) {
  const fs::path relative = fs::path("brisane") / "brisane.conf";
  // A relative folder in either variable means nothing fixed; the base
  // directory rules say to ignore it.
  if (xdgConfigHome && *xdgConfigHome && fs::path(xdgConfigHome).is_absolute()) return xdgConfigHome / relative;
  if (home && *home && fs::path(home).is_absolute()) return fs::path(home) / ".config" / relative;
  return {};
}

fs::path DefaultSettingsFilePath() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    if (const passwd* entry = getpwuid(getuid())) home = entry->pw_dir;
  }
  return SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), home);
}

SettingsFile::SettingsFile(fs::path path) : path_(std::move(path)) {}

bool SettingsFile::Read(std::vector<std::string>& warnings) {
  if (path_.empty()) return true;
  std::error_code error;
  const fs::file_status status = fs::status(path_, error);
  if (status.type() == fs::file_type::not_found) return true;
  // A folder or a pipe in its place must not be read (a pipe would block).
  if (error || status.type() != fs::file_type::regular) {
    warnings.push_back(path_.string() + ": not a readable file; defaults used");
    return false;
  }
  std::ifstream file(path_, std::ios::binary);
  if (!file) {
    warnings.push_back(path_.string() + ": cannot be opened; defaults used");
    return false;
  }
  std::string text;
  text.resize(kMaxSettingsFileBytes + 1);
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) {
    warnings.push_back(path_.string() + ": read failed; defaults used");
    return false;
  }
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kMaxSettingsFileBytes) {
    warnings.push_back(path_.string() + ": larger than a settings file can be; defaults used");
    return false;
  }
  std::vector<std::string> lineWarnings;
  Parse(text, store_, SettingsKeyPath(), lineWarnings);
  text_ = std::move(text);
  for (const std::string& warning : lineWarnings) warnings.push_back(path_.string() + ": " + warning);
  return true;
}

void SettingsFile::Parse(std::string_view text, MemorySettingsStore& store, std::string_view topPath,
                         std::vector<std::string>& warnings) {
  const std::string top(topPath);
  std::optional<std::string> section = top;
  std::size_t lineNumber = 0;
  // Editors on Windows start a UTF-8 file with a byte-order mark; it is not
  // part of the first line's name.
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  while (!text.empty()) {
    ++lineNumber;
    const FileLine line = TakeLine(text);
    if (line.Ignored()) continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line.Heading()) {
      section = line.Section(top);
      if (!section) warnings.push_back(where + "damaged section heading; its lines are skipped");
      continue;
    }
    if (!section) continue;
    const std::string_view name = line.Name();
    if (name.empty()) {
      warnings.push_back(where + "not Name=value; skipped");
      continue;
    }
    // The value as the registry would hold it; blanks after '=' are layout.
    store.SetText(*section, name, TrimStart(line.body.substr(line.Equals() + 1)));
  }
}

std::string SettingsFile::Format(const MemorySettingsStore::KeyData& top) {
  std::string out =
      "# Brisane 3D Screensaver settings: Name=type: value, the type 1 a real number,\n"
      "# 2 a whole number, 3 text. Missing or unreadable lines take their defaults.\n";
  FormatKey(top, std::string(), out);
  return out;
}

bool SettingsFile::Save(std::string& error) {
  if (path_.empty()) {
    error = "no settings folder: neither XDG_CONFIG_HOME nor HOME is an absolute path";
    return false;
  }
  const MemorySettingsStore::KeyData* top = store_.Find(SettingsKeyPath());
  const std::string text = text_.empty() ? Format(top ? *top : MemorySettingsStore::KeyData{})
                                         : Merger(store_, std::string(SettingsKeyPath())).Run(text_);
  const fs::path target = SaveTarget(path_);
  std::error_code code;
  fs::create_directories(target.parent_path(), code);
  if (code) {
    error = target.parent_path().string() + ": " + code.message();
    return false;
  }
  return ReplaceFile(target, text, error);
}

void LoadFileSettings(Node& root, SettingsFile& file) {
  // The one display is the program's GL context, which always applies two
  // textures at once; the display settings kept for Windows mean nothing here.
  LoadSettings(root, *file.CurrentUser(), DisplayDefaults{});
}

}  // namespace brisane
