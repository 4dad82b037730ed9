#include "LicenceTable.h"

#include <cstddef>

// Generated at build time from the installed Debian licence files.
extern const char licenceAssimp[];
extern const char licenceGlfw[];
extern const char licenceGlm[];
extern const char licenceImgui[];
extern const char licenceJson[];
extern const char licenceOpenMesh[];
extern const char licenceSpdlog[];
extern const char licenceXxhash[];
extern const unsigned char LicenceApacheBytes[];
extern const std::size_t LicenceApacheBytesSize;

std::vector<std::pair<std::string, std::string>> LicenceTable;

void initLicenceTable()
{
    const std::string apache(reinterpret_cast<const char*>(LicenceApacheBytes), LicenceApacheBytesSize);
    LicenceTable = {
        {"Open Asset Import Library", licenceAssimp},
        {"Embree", apache},
        {"tinyfiledialogs", "This build does not contain tinyfiledialogs: its file dialogs are shown by the "
                            "system's zenity program, which runs as a separate process."},
        {"GLFW", licenceGlfw},
        {"GLI", "This build does not contain GLI: the matcap texture pack is read by Tamrel's own KTX "
                "reader."},
        {"GLM", licenceGlm},
        {"dear imgui", licenceImgui},
        {"Quelvon JSON lib", licenceJson},
        {"OpenMesh", licenceOpenMesh},
        {"spdlog", licenceSpdlog},
        {"Intel TBB", apache},
        {"Vulkan Ecosystem Components", apache},
        {"xxHash", licenceXxhash},
    };
}

namespace {
const bool licenceTableReady = (initLicenceTable(), true);
}
