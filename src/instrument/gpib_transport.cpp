// GPIB through a VISA library or linux-gpib's library, whichever is
// installed, both loaded at run time so that Tolvane runs without either.
//
// VISA: TOLVANE_VISA_LIBRARY names the library file when set; otherwise
// libvisa.so and libvisa.so.0 are tried. linux-gpib: libgpib.so.0.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

#include "instrument/transport.hpp"

namespace tolvane {

namespace {

// The VISA types and the few constants used, as the VISA standard fixes them.
using ViStatus = std::int32_t;
using ViSession = std::uint32_t;
using ViUInt32 = std::uint32_t;
using ViAttr = std::uint32_t;
using ViAttrState = std::uint64_t;
constexpr ViAttr kAttrTimeout = 0x3FFF001AU;
constexpr ViAttr kAttrTermChar = 0x3FFF0018U;
constexpr ViAttr kAttrTermCharEnabled = 0x3FFF0038U;
constexpr ViAttr kAttrSendEnd = 0x3FFF0016U;
constexpr ViStatus kErrorTimeout = static_cast<ViStatus>(0xBFFF0015U);
constexpr std::uint16_t kRenAddressGtl = 6;

struct VisaApi {
    void* lib = nullptr;
    ViStatus (*openDefaultRM)(ViSession*) = nullptr;
    ViStatus (*open)(ViSession, const char*, ViUInt32, ViUInt32, ViSession*) = nullptr;
    ViStatus (*close)(ViSession) = nullptr;
    ViStatus (*write)(ViSession, const unsigned char*, ViUInt32, ViUInt32*) = nullptr;
    ViStatus (*read)(ViSession, unsigned char*, ViUInt32, ViUInt32*) = nullptr;
    ViStatus (*setAttribute)(ViSession, ViAttr, ViAttrState) = nullptr;
    ViStatus (*gpibControlRen)(ViSession, std::uint16_t) = nullptr;
    ViStatus (*statusDesc)(ViSession, ViStatus, char*) = nullptr;
};

template <typename F>
bool bind(void* lib, const char* name, F& f) {
    f = reinterpret_cast<F>(::dlsym(lib, name));
    return f != nullptr;
}

// Loads the VISA library once per process; `why` says what failed.
const VisaApi* visaApi(std::string& why) {
    static VisaApi api;
    static std::string error;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::vector<std::string> names;
        if (const char* env = std::getenv("TOLVANE_VISA_LIBRARY"); env && *env) names.push_back(env);
        else names = {"libvisa.so", "libvisa.so.0"};
        for (const std::string& n : names) {
            api.lib = ::dlopen(n.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (api.lib) break;
            const char* e = ::dlerror();
            error = e ? e : n + " not found";
        }
        if (api.lib) {
            const bool all = bind(api.lib, "viOpenDefaultRM", api.openDefaultRM) && bind(api.lib, "viOpen", api.open) &&
                             bind(api.lib, "viClose", api.close) && bind(api.lib, "viWrite", api.write) &&
                             bind(api.lib, "viRead", api.read) && bind(api.lib, "viSetAttribute", api.setAttribute);
            bind(api.lib, "viGpibControlREN", api.gpibControlRen);
            bind(api.lib, "viStatusDesc", api.statusDesc);
            if (!all) {
                error = "the VISA library lacks viOpen, viRead, viWrite or viSetAttribute";
                ::dlclose(api.lib);
                api.lib = nullptr;
            }
        }
    }
    why = error;
    return api.lib ? &api : nullptr;
}

std::string visaText(const VisaApi& api, ViSession s, ViStatus st) {
    char buf[512] = {};
    if (api.statusDesc && api.statusDesc(s, st, buf) >= 0 && buf[0]) return buf;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(st));
    return std::string("VISA status ") + hex;
}

class VisaTransport : public Transport {
public:
    VisaTransport(const VisaApi& api, ViSession rm, ViSession s, std::string name)
        : api_(api), rm_(rm), s_(s), name_(std::move(name)) {}
    ~VisaTransport() override {
        api_.close(s_);
        api_.close(rm_);
    }

    LinkResult write(const char* data, std::size_t n, int timeoutMs, bool endOfMessage) override {
        api_.setAttribute(s_, kAttrTimeout, static_cast<ViAttrState>(timeoutMs));
        std::size_t done = 0;
        while (done < n) {
            const std::size_t piece = std::min<std::size_t>(n - done, 1u << 20);
            const bool last = done + piece == n;
            api_.setAttribute(s_, kAttrSendEnd, last && endOfMessage ? 1 : 0);
            ViUInt32 wrote = 0;
            const ViStatus st = api_.write(s_, reinterpret_cast<const unsigned char*>(data + done),
                                           static_cast<ViUInt32>(piece), &wrote);
            if (st == kErrorTimeout)
                return {kIoTimeout, name_ + " took no data for " + std::to_string(timeoutMs) + " ms"};
            if (st < 0) return {kIoClosed, "sending to " + name_ + " failed: " + visaText(api_, s_, st)};
            done += wrote;
            if (wrote == 0) return {kIoClosed, "sending to " + name_ + " made no progress"};
        }
        return {};
    }

    LinkResult readSome(char* buffer, std::size_t max, int timeoutMs, std::size_t& got) override {
        got = 0;
        api_.setAttribute(s_, kAttrTimeout, static_cast<ViAttrState>(timeoutMs));
        ViUInt32 n = 0;
        const ViStatus st = api_.read(s_, reinterpret_cast<unsigned char*>(buffer),
                                      static_cast<ViUInt32>(std::min<std::size_t>(max, 1u << 20)), &n);
        got = n;
        if (st == kErrorTimeout && n == 0)
            return {kIoTimeout, "no answer from " + name_ + " within " + std::to_string(timeoutMs) + " ms"};
        if (st < 0 && n == 0) return {kIoClosed, "reading from " + name_ + " failed: " + visaText(api_, s_, st)};
        if (n == 0) return {kIoClosed, name_ + " ended a reply without data"};
        return {};
    }

    LinkResult goToLocal(int) override {
        if (!api_.gpibControlRen) return {kIoUnavailable, "the VISA library has no viGpibControlREN"};
        const ViStatus st = api_.gpibControlRen(s_, kRenAddressGtl);
        if (st < 0) return {kIoClosed, "returning " + name_ + " to local failed: " + visaText(api_, s_, st)};
        return {};
    }
    bool localMeansClose() const override { return false; }

private:
    const VisaApi& api_;
    ViSession rm_;
    ViSession s_;
    std::string name_;
};

// linux-gpib's C library.
struct GpibApi {
    void* lib = nullptr;
    int (*ibdev)(int, int, int, int, int, int) = nullptr;
    int (*ibwrt)(int, const void*, long) = nullptr;
    int (*ibrd)(int, void*, long) = nullptr;
    int (*ibloc)(int) = nullptr;
    int (*ibonl)(int, int) = nullptr;
    int (*ibtmo)(int, int) = nullptr;
    int (*ibeot)(int, int) = nullptr;
    long (*ibcnt)() = nullptr;  // ThreadIbcntl
};
constexpr int kIbErr = 0x8000;
constexpr int kIbTimo = 0x4000;

const GpibApi* gpibApi() {
    static GpibApi api;
    static bool tried = false;
    if (!tried) {
        tried = true;
        api.lib = ::dlopen("libgpib.so.0", RTLD_NOW | RTLD_LOCAL);
        if (api.lib) {
            const bool all = bind(api.lib, "ibdev", api.ibdev) && bind(api.lib, "ibwrt", api.ibwrt) &&
                             bind(api.lib, "ibrd", api.ibrd) && bind(api.lib, "ibloc", api.ibloc) &&
                             bind(api.lib, "ibonl", api.ibonl) && bind(api.lib, "ibtmo", api.ibtmo) &&
                             bind(api.lib, "ibeot", api.ibeot) && bind(api.lib, "ThreadIbcntl", api.ibcnt);
            if (!all) {
                ::dlclose(api.lib);
                api.lib = nullptr;
            }
        }
    }
    return api.lib ? &api : nullptr;
}

// The smallest linux-gpib time-out code (T10us = 1 ... T1000s = 17) that
// waits at least `ms`.
int gpibTimeoutCode(int ms) {
    static const double limits[] = {0.01, 0.03, 0.1, 0.3, 1, 3, 10, 30, 100, 300, 1e3, 3e3, 1e4, 3e4, 1e5, 3e5, 1e6};
    for (int k = 0; k < 17; ++k)
        if (limits[k] >= ms) return k + 1;
    return 17;
}

class LinuxGpibTransport : public Transport {
public:
    LinuxGpibTransport(const GpibApi& api, int ud, std::string name) : api_(api), ud_(ud), name_(std::move(name)) {}
    ~LinuxGpibTransport() override { api_.ibonl(ud_, 0); }

    LinkResult write(const char* data, std::size_t n, int timeoutMs, bool endOfMessage) override {
        api_.ibtmo(ud_, gpibTimeoutCode(timeoutMs));
        api_.ibeot(ud_, endOfMessage ? 1 : 0);
        const int st = api_.ibwrt(ud_, data, static_cast<long>(n));
        if (st & kIbTimo) return {kIoTimeout, name_ + " took no data for " + std::to_string(timeoutMs) + " ms"};
        if ((st & kIbErr) || api_.ibcnt() != static_cast<long>(n))
            return {kIoClosed, "sending to " + name_ + " failed (status 0x" + hex(st) + ")"};
        return {};
    }

    LinkResult readSome(char* buffer, std::size_t max, int timeoutMs, std::size_t& got) override {
        got = 0;
        api_.ibtmo(ud_, gpibTimeoutCode(timeoutMs));
        const int st = api_.ibrd(ud_, buffer, static_cast<long>(std::min<std::size_t>(max, 1u << 20)));
        const long n = api_.ibcnt();
        got = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (got > 0) return {};
        if (st & kIbTimo)
            return {kIoTimeout, "no answer from " + name_ + " within " + std::to_string(timeoutMs) + " ms"};
        return {kIoClosed, "reading from " + name_ + " failed (status 0x" + hex(st) + ")"};
    }

    LinkResult goToLocal(int) override {
        const int st = api_.ibloc(ud_);
        if (st & kIbErr) return {kIoClosed, "returning " + name_ + " to local failed"};
        return {};
    }
    bool localMeansClose() const override { return false; }

private:
    static std::string hex(int v) {
        char b[16];
        std::snprintf(b, sizeof b, "%04X", static_cast<unsigned>(v) & 0xFFFF);
        return b;
    }
    const GpibApi& api_;
    int ud_;
    std::string name_;
};

}  // namespace

LinkResult openGpibTransport(const Connection::Gpib& gpib, int timeoutMs, std::unique_ptr<Transport>& out) {
    std::string resource = "GPIB" + std::to_string(gpib.board) + "::" + std::to_string(gpib.primary);
    if (gpib.secondary >= 0) resource += "::" + std::to_string(gpib.secondary);
    resource += "::INSTR";
    if (gpib.primary < 0 || gpib.primary > 30 || gpib.secondary > 31 || gpib.board < 0)
        return {kIoBadRequest, "the GPIB address " + resource + " is out of range (primary 0 to 30, secondary -1 to 31)"};

    std::string visaWhy;
    if (const VisaApi* api = visaApi(visaWhy)) {
        ViSession rm = 0, s = 0;
        ViStatus st = api->openDefaultRM(&rm);
        if (st < 0) return {kIoUnavailable, "the VISA library could not start: " + visaText(*api, 0, st)};
        st = api->open(rm, resource.c_str(), 0, static_cast<ViUInt32>(timeoutMs), &s);
        if (st < 0) {
            const std::string text = visaText(*api, rm, st);
            api->close(rm);
            return {kIoUnavailable, "could not open " + resource + ": " + text};
        }
        api->setAttribute(s, kAttrTermChar, '\n');
        api->setAttribute(s, kAttrTermCharEnabled, 1);
        out = std::make_unique<VisaTransport>(*api, rm, s, resource);
        return {};
    }
    if (const GpibApi* api = gpibApi()) {
        // Reads end at a line feed (REOS) as well as at the bus's end mark.
        const int eos = 0x0400 | '\n';
        const int ud = api->ibdev(gpib.board, gpib.primary, gpib.secondary >= 0 ? 0x60 + gpib.secondary : 0,
                                  gpibTimeoutCode(timeoutMs), 1, eos);
        if (ud < 0) return {kIoUnavailable, "linux-gpib could not open " + resource};
        out = std::make_unique<LinuxGpibTransport>(*api, ud, resource);
        return {};
    }
    return {kIoUnavailable,
            "GPIB needs a VISA library (install one that provides libvisa.so, or set TOLVANE_VISA_LIBRARY to its "
            "file) or linux-gpib's libgpib.so.0; neither was found (" +
                visaWhy + ")"};
}

}  // namespace tolvane
