#include "platform/native/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
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
  for (const std::string& warning : lineWarnings) warnings.push_back(path_.string() + ": " + warning);
  return true;
}

void SettingsFile::Parse(std::string_view text, MemorySettingsStore& store, std::string_view topPath,
                         std::vector<std::string>& warnings) {
  const std::string top(topPath);
  std::string section = top;
  bool sectionValid = true;
  std::size_t lineNumber = 0;
  // Editors on Windows start a UTF-8 file with a byte-order mark; it is not
  // part of the first line's name.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (trimmed[0] == '[') {
      // Lines under a damaged heading are not put anywhere: guessing their
      // key could move values between keys.
      sectionValid = trimmed.back() == ']' && trimmed.find(']') == trimmed.size() - 1;
      if (!sectionValid) {
        warnings.push_back(where + "damaged section heading; its lines are skipped");
        continue;
      }
      const std::string_view path = Trim(trimmed.substr(1, trimmed.size() - 2));
      section = path.empty() ? top : top + "\\" + std::string(path);
      continue;
    }
    if (!sectionValid) continue;
    const std::size_t equals = line.find('=');
    const std::string_view name = equals == std::string_view::npos ? std::string_view() : Trim(line.substr(0, equals));
    if (name.empty()) {
      warnings.push_back(where + "not Name=value; skipped");
      continue;
    }
    // The value as the registry would hold it; blanks after '=' are layout.
    store.SetText(section, name, TrimStart(line.substr(equals + 1)));
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
  const std::string text = Format(top ? *top : MemorySettingsStore::KeyData{});

  std::error_code code;
  fs::create_directories(path_.parent_path(), code);
  if (code) {
    error = path_.parent_path().string() + ": " + code.message();
    return false;
  }
  fs::path temporary = path_;
  temporary += ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.flush();
    if (!file) {
      error = temporary.string() + ": cannot be written";
      file.close();
      fs::remove(temporary, code);
      return false;
    }
  }
  fs::rename(temporary, path_, code);
  if (code) {
    error = path_.string() + ": " + code.message();
    fs::remove(temporary, code);
    return false;
  }
  return true;
}

HResult LoadFileSettings(Node& root, SettingsFile& file, DisplayMode desktop, const FatalSink& fatal) {
  desktop.bitCount = 32;  // what the back buffer holds, whatever X says
  DeviceTable table;
  DriverRecord driver;
  driver.description = "OpenGL";
  driver.halCaps2 = kCaps2CanRenderWindowed;
  driver.modes = {desktop};
  DeviceDescription device;
  device.name = "OpenGL";
  device.devCaps = kDevCapsHwRasterization;
  device.renderBitDepths = kDepthBit32 | kDepthBit24 | kDepthBit16;
  device.maxSimultaneousTextures = 2;
  AddDevice(table, driver, device, desktop);
  const std::unique_ptr<SettingsKey> user = file.CurrentUser();
  return LoadSettings(root, *user, table, fatal);
}

}  // namespace brisane
