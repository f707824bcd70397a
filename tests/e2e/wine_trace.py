"""What a launcher run left behind, as the rig reads it from Wine's trace: the shell's calls and
the windows that flashed."""

import dataclasses
import re


@dataclasses.dataclass
class Box:
    caption: str
    text: str
    buttons: str
    hwnd: str
    button_positions: dict
    flashed: bool = False


@dataclasses.dataclass
class ShellCall:
    mask: int
    verb: str
    file: str
    parameters: str
    directory: str
    show: int


@dataclasses.dataclass
class Run:
    exit_code: int
    seconds: float
    ended_at: float
    boxes: list
    shell_calls: list
    windows_flashed: int
    trace: str


_SHELL_CALL = re.compile(
    r'SHELL_execute mask=0x([0-9a-f]+) hwnd=\S+ verb=(?:L"(.*?)"|\(null\)) file=L"(.*?)" '
    r'parm=(?:L"(.*?)"|\(null\)) dir=(?:L"(.*?)"|\(null\)) show=0x([0-9a-f]+)')


def _unescape(text):
    """Wine's trace writes a backslash as \\\\ and a quote as \\"."""
    return re.sub(r"\\(.)", r"\1", text or "")


def parse_shell_calls(trace):
    return [ShellCall(int(m[1], 16), _unescape(m[2]), _unescape(m[3]), _unescape(m[4]), _unescape(m[5]),
                      int(m[6], 16)) for m in _SHELL_CALL.finditer(trace)]


# Wine stores no event: ReportEventW prints its call (type, ID) on the advapi channel and each of
# its strings on the eventlog channel, as err, warn or trace by the event's type.
_EVENT = re.compile(r"^([0-9a-f]+):fixme:advapi:ReportEventW \(\S+,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+),")
_EVENT_STRING = re.compile(r'^([0-9a-f]+):(?:err|warn|trace):eventlog:ReportEventW L"(.*)"$')
EVENT_TYPES = {1: "error", 2: "warning", 4: "information"}


def reported_events(trace):
    """Each event written, in order: (type, ID, strings)."""
    events = []
    for line in trace.splitlines():
        if match := _EVENT.match(line):
            events.append((EVENT_TYPES.get(int(match[2], 16), match[2]), int(match[3], 16), []))
        elif (match := _EVENT_STRING.match(line)) and events:
            events[-1][2].append(_unescape(match[2]))
    return events


_FLASH = re.compile(r"^([0-9a-f]+):fixme:win:NtUserFlashWindowEx \S+ - semi-stub$")
_NC_PAINT = re.compile(r"^([0-9a-f]+):trace:win:nc_paint (0x[0-9a-f]+) ")


def flashed_windows(trace):
    """The windows that FlashWindowEx flashed. Wine accepts the call only for a valid record
    (cbSize 32) and a live window; its caption flash then repaints that window's frame, which
    the trace names right after the call, on the same thread."""
    flashed = set()
    waiting = set()
    for line in trace.splitlines():
        if match := _FLASH.match(line):
            waiting.add(match[1])
        elif (match := _NC_PAINT.match(line)) and match[1] in waiting:
            waiting.discard(match[1])
            flashed.add(int(match[2], 16))
    return flashed
