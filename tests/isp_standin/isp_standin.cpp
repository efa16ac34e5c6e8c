// A stand-in for the chip maker's programming library: the same exported
// names, results and texts scripted by the tests through the standin_*
// calls, and a record of every call made. Built twice; with
// CVK_STANDIN_LEAVE_OUT some entry points are not exported at all.

#include <map>
#include <string>

namespace {

struct Script {
    std::map<std::string, int> results;
    std::map<std::string, std::string> texts;
    std::map<std::string, bool> nullTexts;
    int lastError = 0;
    std::string current;
    bool currentIsNull = false;
    std::string calls;
};

Script freshScript()
{
    Script s;
    s.texts["ispReadSpecialByte"] = "20";
    s.texts["ispGetBufferAddrLo"] = "0000";
    s.texts["ispGetBufferAddrHi"] = "2FFF";
    return s;
}

Script& scripted()
{
    static Script s = freshScript();
    return s;
}

std::string text(const char* value) { return value ? value : "(null)"; }

// Records the call, sets the text ispGetLastResult hands out next and
// gives the scripted result.
int made(const std::string& entry, const std::string& arguments = {})
{
    Script& s = scripted();
    s.calls += entry;
    if (!arguments.empty())
        s.calls += " " + arguments;
    s.calls += "\n";
    const auto nullText = s.nullTexts.find(entry);
    s.currentIsNull = nullText != s.nullTexts.end() && nullText->second;
    const auto t = s.texts.find(entry);
    s.current = t == s.texts.end() ? std::string() : t->second;
    const auto r = s.results.find(entry);
    return r == s.results.end() ? 1 : r->second;
}

}  // namespace

extern "C" {

// Control calls for the tests.
void standin_reset() { scripted() = freshScript(); }
void standin_set_result(const char* entry, int value) { scripted().results[text(entry)] = value; }
// A null text makes ispGetLastResult return null after that call.
void standin_set_text(const char* entry, const char* value)
{
    Script& s = scripted();
    s.nullTexts[text(entry)] = value == nullptr;
    s.texts[text(entry)] = value ? value : "";
}
void standin_set_last_error(int value) { scripted().lastError = value; }
const char* standin_calls() { return scripted().calls.c_str(); }

// The calls whose signatures are known.
int ispInit(void) { return made("ispInit"); }
int ispSetLogEnabled(int enabled) { return made("ispSetLogEnabled", std::to_string(enabled)); }
int ispSelectDevice(const char* name) { return made("ispSelectDevice", text(name)); }
int ispSelectCommHardware(int code) { return made("ispSelectCommHardware", std::to_string(code)); }
int ispOpenUsbPort(void) { return made("ispOpenUsbPort"); }
int ispReadSpecialByte(int which) { return made("ispReadSpecialByte", std::to_string(which)); }
#ifndef CVK_STANDIN_LEAVE_OUT
int ispEraseDevice(void) { return made("ispEraseDevice"); }
#endif
int ispBlankCheckMemory(void) { return made("ispBlankCheckMemory"); }
int ispFillBufferAddrRange(int start, int end, const char* value)
{
    return made("ispFillBufferAddrRange",
                std::to_string(start) + " " + std::to_string(end) + " " + text(value));
}
int ispParseHexFile(const char* path) { return made("ispParseHexFile", text(path)); }
int ispProgramDevice(void) { return made("ispProgramDevice"); }
int ispGetBufferAddrLo(void) { return made("ispGetBufferAddrLo"); }
int ispGetBufferAddrHi(void) { return made("ispGetBufferAddrHi"); }
int ispVerifyDevice(int low, int high)
{
    return made("ispVerifyDevice", std::to_string(low) + " " + std::to_string(high));
}
int ispEnterAppliMode(int a, int b)
{
    return made("ispEnterAppliMode", std::to_string(a) + " " + std::to_string(b));
}
void ispSetDtrLow(void) { made("ispSetDtrLow"); }
void ispSetDtrHigh(void) { made("ispSetDtrHigh"); }
void ispExit(void) { made("ispExit"); }

// Queries about the previous call: recorded, but they keep its text.
int ispGetLastError(void)
{
    Script& s = scripted();
    s.calls += "ispGetLastError\n";
    return s.lastError;
}
const char* ispGetLastResult(void)
{
    Script& s = scripted();
    s.calls += "ispGetLastResult\n";
    return s.currentIsNull ? nullptr : s.current.c_str();
}

// The rest of the library, never called by the program.
int ispOpenRs232Port(void) { return made("ispOpenRs232Port"); }
int ispSyncTarget(void) { return made("ispSyncTarget"); }
int ispProgramAddrRange(void) { return made("ispProgramAddrRange"); }
int ispReadDevice(void) { return made("ispReadDevice"); }
int ispReadAddrRange(void) { return made("ispReadAddrRange"); }
int ispUpdateCmdsIds(void) { return made("ispUpdateCmdsIds"); }
int ispOpenCanPort(void) { return made("ispOpenCanPort"); }
int ispSelectCanNode(void) { return made("ispSelectCanNode"); }
int ispSelectMemory(void) { return made("ispSelectMemory"); }
int ispGetDeviceIndex(void) { return made("ispGetDeviceIndex"); }
int ispDataLog(void) { return made("ispDataLog"); }
int ispSetDebugMode(void) { return made("ispSetDebugMode"); }
int ispOpenLogFile(void) { return made("ispOpenLogFile"); }
int ispExecCmd(void) { return made("ispExecCmd"); }
int ispGetMemorySize(void) { return made("ispGetMemorySize"); }
int ispReadSignatureBytes(void) { return made("ispReadSignatureBytes"); }
int ispBlankCheckAddrRange(void) { return made("ispBlankCheckAddrRange"); }
int ispSetSecurityLevel(void) { return made("ispSetSecurityLevel"); }
int ispGetErrorVecPtr(void) { return made("ispGetErrorVecPtr"); }
int ispSerialize(void) { return made("ispSerialize"); }
int ispWriteSpecialByte(void) { return made("ispWriteSpecialByte"); }
int ispGetLastErrorMssg(void) { return made("ispGetLastErrorMssg"); }
int ispGetErrorMssgFromIdx(void) { return made("ispGetErrorMssgFromIdx"); }
int ispSetTimeout(void) { return made("ispSetTimeout"); }
int ispSetAutoIsp(void) { return made("ispSetAutoIsp"); }
int ispWriteHexFile(void) { return made("ispWriteHexFile"); }
int ispSetRtsLow(void) { return made("ispSetRtsLow"); }
#ifndef CVK_STANDIN_LEAVE_OUT
int ispSetRtsHigh(void) { return made("ispSetRtsHigh"); }
#endif
int ispEnterIspMode(void) { return made("ispEnterIspMode"); }

}  // extern "C"
