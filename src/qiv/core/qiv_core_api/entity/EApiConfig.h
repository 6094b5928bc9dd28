// The API configuration in its stream form: an EObject, the local flag and two texts.
#pragma once

#include <string>
#include <vector>

#include "qiv/entity/EObject.h"

namespace qiv {

struct EApiConfig {
    EObject eobject;
    bool isLocal = false;
    std::string name;
    std::string url_logo;
};

Result<EApiConfig, CodecError> from_stream(ByteCursor& cursor);

// Never fails: a writer error would be a panic.
std::vector<uint8_t> to_stream(const EApiConfig& record);

void eapiconfig_fmt_debug(const EApiConfig& record, std::string& out);

}  // namespace qiv
