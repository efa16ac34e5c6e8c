#pragma once
// The chip maker's in-system-programming library as an IIsp backend, loaded
// at run time through the library-loader port.

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/library_loader.h"
#include "service/isp.h"

namespace cvk::service {

inline constexpr const char* kIspLibraryName = "AtJniIsp";
inline constexpr const char* kMissingFunctionText = "Missing function in DLL";
inline constexpr const char* kMissingFunctionCaption = "DLL Message";

class IspLibraryProvider final : public IIspProvider {
public:
    // Shows the "Missing function in DLL" message for one entry point; it
    // is called once per missing name for the life of the provider.
    using MissingReport = std::function<void(const std::string& entryPoint)>;
    IspLibraryProvider(ILibraryLoader& loader, MissingReport report);
    ~IspLibraryProvider() override;

    IIsp* acquire() override;
    void release() override;
    bool loaded() const override;
    // Why the last acquire() found nothing to load.
    const std::string& loadError() const { return loadError_; }

private:
    ILibraryLoader& loader_;
    MissingReport report_;
    std::set<std::string> reported_;
    std::unique_ptr<IIsp> isp_;
    std::string loadError_;
};

}  // namespace cvk::service
