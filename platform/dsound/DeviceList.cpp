#include "platform/dsound/DeviceList.h"

namespace platform::dsound {

bool DeviceName(const GUID* guid, const GUID& base, const std::vector<std::string>& names, std::string* name)
{
    name->clear();
    if (!guid || *guid == GUID_NULL) {
        return true;
    }
    GUID withoutIndex = *guid;
    withoutIndex.Data1 = base.Data1;
    if (!(withoutIndex == base) || guid->Data1 - base.Data1 >= names.size()) {
        return false;
    }
    *name = names[guid->Data1 - base.Data1];
    return true;
}

HRESULT ListDevices(const std::vector<std::string>& names, const GUID& base, const char* defaultName,
                    LPDSENUMCALLBACKA callback, void* context)
{
    if (!callback) {
        return DSERR_INVALIDPARAM;
    }
    if (names.empty() || !callback(nullptr, defaultName, "", context)) {
        return DS_OK;
    }
    for (DWORD i = 0; i < names.size(); ++i) {
        GUID guid = base;
        guid.Data1 = base.Data1 + i;
        if (!callback(&guid, names[i].c_str(), "openal", context)) {
            break;
        }
    }
    return DS_OK;
}

}  // namespace platform::dsound
