// harness dialog TITLE STEP...: works another process's dialog with the
// messages its controls would send, and reports what they show. Steps:
//   dump:NAME            every control of the dialog, as NAME.ID.FIELD=... lines
//   click:ID             BM_CLICK, sent
//   postclick:ID         BM_CLICK, posted (for buttons that open a modal dialog:
//                        a sent click returns only when that dialog closes)
//   select:ID:INDEX      CB_SETCURSEL, then CBN_SELENDOK and CBN_SELCHANGE
//   pos:ID:VALUE         TBM_SETPOS, then WM_HSCROLL
//   dialog:TITLE         work another dialog from here on (waits for it)
//   count:TITLE:MS       waits MS, then prints how many windows carry TITLE
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver_support.h"

namespace {

// Across processes Wine's ANSI CB_GETLBTEXT gives only the first letter.
std::string ListEntry(HWND combo, WPARAM index) {
  std::wstring text(1024, L'\0');
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 5000,
                           &result) ||
      static_cast<LRESULT>(result) == CB_ERR)
    return "<error>";
  std::string out;
  for (size_t i = 0; i < text.size() && text[i]; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return out;
}

struct DumpContext {
  HWND dialog;
  const std::string& name;
};

BOOL CALLBACK DumpControl(HWND control, LPARAM lParam) {
  const auto& ctx = *reinterpret_cast<const DumpContext*>(lParam);
  if (GetParent(control) != ctx.dialog) return TRUE;
  const int id = GetDlgCtrlID(control);
  const std::string p = ctx.name + "." + std::to_string(id) + ".";
  char className[64] = {};
  GetClassNameA(control, className, sizeof className);
  char text[512] = {};
  GetWindowTextA(control, text, sizeof text);
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, ctx.dialog, reinterpret_cast<POINT*>(&r), 2);
  const auto style = static_cast<unsigned long>(GetWindowLongA(control, GWL_STYLE));
  std::printf("%stext=%s\n%senabled=%d\n%sstyle=0x%08lx\n%srect=%ld,%ld,%ld,%ld\n", p.c_str(), Escape(text).c_str(),
              p.c_str(), IsWindowEnabled(control) ? 1 : 0, p.c_str(), style, p.c_str(), r.left, r.top,
              r.right - r.left, r.bottom - r.top);
  if (lstrcmpiA(className, "Button") == 0) {
    std::printf("%schecked=%d\n", p.c_str(), SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  } else if (lstrcmpiA(className, "ComboBox") == 0) {
    const LRESULT count = SendMessageA(control, CB_GETCOUNT, 0, 0);
    const LRESULT sel = SendMessageA(control, CB_GETCURSEL, 0, 0);
    std::printf("%scount=%ld\n%ssel=%ld\n", p.c_str(), static_cast<long>(count), p.c_str(), static_cast<long>(sel));
    for (LRESULT i = 0; i < count; ++i)
      std::printf("%sitem.%ld=%s\n", p.c_str(), static_cast<long>(i),
                  Escape(ListEntry(control, static_cast<WPARAM>(i))).c_str());
  } else if (lstrcmpiA(className, TRACKBAR_CLASSA) == 0) {
    std::printf("%spos=%ld\n%smin=%ld\n%smax=%ld\n", p.c_str(),
                static_cast<long>(SendMessageA(control, TBM_GETPOS, 0, 0)), p.c_str(),
                static_cast<long>(SendMessageA(control, TBM_GETRANGEMIN, 0, 0)), p.c_str(),
                static_cast<long>(SendMessageA(control, TBM_GETRANGEMAX, 0, 0)));
  }
  return TRUE;
}

void Dump(HWND dialog, const std::string& name) {
  RECT client = {};
  GetClientRect(dialog, &client);
  std::printf("%s.client=%ld,%ld\n", name.c_str(), client.right, client.bottom);
  DumpContext ctx{dialog, name};
  EnumChildWindows(dialog, DumpControl, reinterpret_cast<LPARAM>(&ctx));
}

BOOL CALLBACK CountTitled(HWND window, LPARAM lParam) {
  auto& [title, count] = *reinterpret_cast<std::pair<std::string, int>*>(lParam);
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (IsWindowVisible(window) && title == text) ++count;
  return TRUE;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t colon; (colon = s.find(':', start)) != std::string::npos; start = colon + 1)
    parts.push_back(s.substr(start, colon - start));
  parts.push_back(s.substr(start));
  return parts;
}

}  // namespace

int DialogDriver(int argc, char** argv) {
  if (argc < 2) return 2;
  HWND dialog = WaitForWindow("#32770", argv[1], 20000);
  std::printf("found=%d\n", dialog ? 1 : 0);
  std::fflush(stdout);
  if (!dialog) return 1;
  for (int a = 2; a < argc; ++a) {
    const std::vector<std::string> step = Split(argv[a]);
    const std::string& verb = step[0];
    auto arg = [&](size_t i) { return i < step.size() ? step[i] : std::string(); };
    auto number = [&](size_t i) { return std::atoi(arg(i).c_str()); };
    HWND control = step.size() > 1 ? GetDlgItem(dialog, number(1)) : nullptr;
    if (verb == "dump") {
      Dump(dialog, arg(1));
    } else if (verb == "click" && control) {
      SendMessageA(control, BM_CLICK, 0, 0);
    } else if (verb == "postclick" && control) {
      PostMessageA(control, BM_CLICK, 0, 0);
    } else if (verb == "select" && control) {
      SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(number(2)), 0);
      const int id = number(1);
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(control));
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    } else if (verb == "pos" && control) {
      const int value = number(2);
      SendMessageA(control, TBM_SETPOS, TRUE, value);
      SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, value), reinterpret_cast<LPARAM>(control));
    } else if (verb == "dialog") {
      if (!(dialog = WaitForWindow("#32770", arg(1).c_str(), 20000))) return 1;
    } else if (verb == "count") {
      Pump(static_cast<DWORD>(number(2)));
      std::pair<std::string, int> ctx{arg(1), 0};
      EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&ctx));
      std::printf("count.%s=%d\n", arg(1).c_str(), ctx.second);
    } else {
      std::printf("badstep=%s\n", Escape(argv[a]).c_str());
      return 1;
    }
    std::fflush(stdout);
  }
  return 0;
}
