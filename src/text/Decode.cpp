#include "text/Decode.h"

#include "support/Panic.h"
#include "text/Big5Decoder.h"
#include "text/EucJpDecoder.h"
#include "text/EucKrDecoder.h"
#include "text/Gb18030Decoder.h"
#include "text/Iso2022JpDecoder.h"
#include "text/ReplacementDecoder.h"
#include "text/ShiftJisDecoder.h"
#include "text/SingleByteDecoder.h"
#include "text/Utf16Decoder.h"
#include "text/Utf8Decoder.h"
#include "text/XUserDefinedDecoder.h"
#include "text/generated/SingleByteIndexes.h"

namespace qiv::text {

std::string decode(std::string_view bytes, Encoding fallback) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return decode_without_bom(bytes.substr(3), Encoding::Utf8);
    if (bytes.starts_with("\xFE\xFF")) return decode_without_bom(bytes.substr(2), Encoding::Utf16Be);
    if (bytes.starts_with("\xFF\xFE")) return decode_without_bom(bytes.substr(2), Encoding::Utf16Le);
    return decode_without_bom(bytes, fallback);
}

std::string decode_without_bom(std::string_view bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8: return Utf8Decoder::decode(bytes);
    case Encoding::Ibm866:
    case Encoding::Iso8859_2:
    case Encoding::Iso8859_3:
    case Encoding::Iso8859_4:
    case Encoding::Iso8859_5:
    case Encoding::Iso8859_6:
    case Encoding::Iso8859_7:
    case Encoding::Iso8859_8:
    case Encoding::Iso8859_8I:
    case Encoding::Iso8859_10:
    case Encoding::Iso8859_13:
    case Encoding::Iso8859_14:
    case Encoding::Iso8859_15:
    case Encoding::Iso8859_16:
    case Encoding::Koi8R:
    case Encoding::Koi8U:
    case Encoding::Macintosh:
    case Encoding::Windows874:
    case Encoding::Windows1250:
    case Encoding::Windows1251:
    case Encoding::Windows1252:
    case Encoding::Windows1253:
    case Encoding::Windows1254:
    case Encoding::Windows1255:
    case Encoding::Windows1256:
    case Encoding::Windows1257:
    case Encoding::Windows1258:
    case Encoding::XMacCyrillic: {
        const int row = generated::kSingleByteIndexOf[static_cast<std::size_t>(encoding)];
        if (row < 0) qiv::panic("single-byte encoding without an index");
        return SingleByteDecoder::decode(bytes, generated::kSingleByteIndexes[row]);
    }
    case Encoding::Gbk:  // GBK's decoder is gb18030's
    case Encoding::Gb18030: return Gb18030Decoder::decode(bytes);
    case Encoding::Big5: return Big5Decoder::decode(bytes);
    case Encoding::EucJp: return EucJpDecoder::decode(bytes);
    case Encoding::Iso2022Jp: return Iso2022JpDecoder::decode(bytes);
    case Encoding::ShiftJis: return ShiftJisDecoder::decode(bytes);
    case Encoding::EucKr: return EucKrDecoder::decode(bytes);
    case Encoding::Replacement: return ReplacementDecoder::decode(bytes);
    case Encoding::Utf16Be: return Utf16Decoder::decode(bytes, true);
    case Encoding::Utf16Le: return Utf16Decoder::decode(bytes, false);
    case Encoding::XUserDefined: return XUserDefinedDecoder::decode(bytes);
    }
    qiv::panic("encoding outside the enumeration");
}

}  // namespace qiv::text
