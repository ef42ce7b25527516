#include "VariantValue.h"

namespace {

template<class... Ts>
struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template<class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace

std::string variantText(const VariantValue &value)
{
    return std::visit(Overloaded{
                          [](std::monostate) { return std::string(); },
                          [](const std::string &text) { return text; },
                          [](std::int16_t number) { return std::to_string(number); },
                          [](std::int32_t number) { return std::to_string(number); },
                          [](const ByteArray &bytes) { return std::string(bytes.begin(), bytes.end()); },
                      },
                      value);
}
