#include "http/Url.h"

#include <ada.h>

namespace qiv::http {

namespace {

std::string decoded(const std::string& text) {
    const auto percent = text.find('%');
    return percent == std::string::npos ? text : ada::unicode::percent_decode(text, percent);
}

}  // namespace

std::optional<Url> Url::parse(std::string_view input) { return parse_with(input, nullptr); }

std::optional<Url> Url::parse(std::string_view input, const Url& base) { return parse_with(input, &base.href_); }

std::optional<Url> Url::parse_with(std::string_view input, const std::string* base_href) {
    std::optional<ada::url_aggregator> base;
    if (base_href) {
        auto parsed_base = ada::parse<ada::url_aggregator>(*base_href);
        if (!parsed_base) return std::nullopt;
        base.emplace(std::move(*parsed_base));
    }
    auto parsed = ada::parse<ada::url_aggregator>(input, base ? &*base : nullptr);
    if (!parsed) return std::nullopt;
    ada::url_aggregator& url = *parsed;

    Url out;
    out.href_ = std::string(url.get_href());
    std::string_view protocol = url.get_protocol();
    if (!protocol.empty() && protocol.back() == ':') protocol.remove_suffix(1);
    out.scheme_ = std::string(protocol);
    out.host_ = std::string(url.get_hostname());
    out.ip_literal_ = url.host_type != ada::url_host_type::DEFAULT;
    out.user_ = std::string(url.get_username());
    out.password_ = std::string(url.get_password());
    const std::string_view port = url.get_port();
    out.default_port_ = port.empty();
    // The parser keeps a port only as digits within 0..65535; a scheme default is never 0.
    const long fallback = ada::scheme::get_special_port(url.type);
    out.port_ = !port.empty() ? std::stol(std::string(port)) : fallback != 0 ? fallback : -1;

    url.set_username("");
    url.set_password("");
    url.clear_hash();
    out.bare_ = std::string(url.get_href());
    return out;
}

std::string Url::user() const { return decoded(user_); }

std::string Url::password() const { return decoded(password_); }

}  // namespace qiv::http
