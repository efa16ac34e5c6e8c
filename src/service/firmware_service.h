#pragma once
// The firmware update as the front ends offer it: the chip maker's library
// where the user has one, else our own DFU backend, held between updates
// the way the program holds the library.

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/library_loader.h"
#include "platform/temp_file.h"
#include "platform/usb_control.h"
#include "service/firmware_update.h"
#include "service/isp_dfu.h"
#include "service/isp_library.h"

namespace cvk::service {

// The library first, then the DFU backend; null when neither is there.
class PreferredIsp final : public IIspProvider {
public:
    PreferredIsp(IIspProvider* library, IIspProvider* dfu) : library_(library), dfu_(dfu) {}
    IIsp* acquire() override
    {
        if (current_ && current_->loaded())
            return current_->acquire();
        current_ = nullptr;
        for (IIspProvider* p : {library_, dfu_}) {
            if (!p)
                continue;
            if (IIsp* isp = p->acquire()) {
                current_ = p;
                return isp;
            }
        }
        return nullptr;
    }
    void release() override
    {
        if (current_)
            current_->release();
        current_ = nullptr;
    }
    bool loaded() const override { return current_ && current_->loaded(); }

private:
    IIspProvider* library_;
    IIspProvider* dfu_;
    IIspProvider* current_ = nullptr;
};

class CFirmwareService {
public:
    // loader or usb may be null (no such backend on this system).
    CFirmwareService(ILibraryLoader* loader, IUsbControl* usb, ITempFiles& tempFiles, IClock& clock,
                     IspLibraryProvider::MissingReport missingReport)
        : tempFiles_(tempFiles), clock_(clock)
    {
        if (loader)
            library_ = std::make_unique<IspLibraryProvider>(*loader, std::move(missingReport));
        if (usb)
            dfu_ = std::make_unique<DfuIspProvider>(*usb, clock);
        preferred_ = std::make_unique<PreferredIsp>(library_.get(), dfu_.get());
    }

    int update(const std::string& hexPath, IUpdateLog& log)
    {
        return updateFirmwareFromFile(hexPath, *preferred_, tempFiles_, log, clock_);
    }

    IIspProvider& provider() { return *preferred_; }

private:
    ITempFiles& tempFiles_;
    IClock& clock_;
    std::unique_ptr<IspLibraryProvider> library_;
    std::unique_ptr<DfuIspProvider> dfu_;
    std::unique_ptr<PreferredIsp> preferred_;
};

}  // namespace cvk::service
