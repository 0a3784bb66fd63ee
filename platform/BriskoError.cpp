#include "platform/BriskoError.h"

#include <exception>
#include <iterator>

namespace {

// Marks a text for lupdate; the core itself never translates.
#define QT_TRANSLATE_NOOP(Scope, Text) Text
#define BRISKO_ERROR_WORDING(Id, Wording) Wording,
constexpr const char* Wordings[] = {BRISKO_ERRORS(BRISKO_ERROR_WORDING)};
#undef BRISKO_ERROR_WORDING
#undef QT_TRANSLATE_NOOP
static_assert(std::size(Wordings) == eiCount);

}  // namespace

std::string FillArguments(const std::string& Wording, const std::vector<std::string>& Args) {
  std::string text;
  for (size_t i = 0; i < Wording.size(); ++i) {
    const char c = Wording[i];
    const size_t n = i + 1 < Wording.size() ? size_t(Wording[i + 1] - '1') : Args.size();
    if (c == '%' && n < Args.size()) {
      text += Args[n];
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

EBriskoError::EBriskoError(TErrorId Id, std::vector<std::string> Args)
    : std::runtime_error(FillArguments(ErrorWording(Id), Args)), FId(Id), FArgs(std::move(Args)) {}

const char* ErrorWording(TErrorId Id) { return Id >= 0 && Id < eiCount ? Wordings[Id] : Wordings[eiUnknown]; }

EBriskoError CurrentError() {
  try {
    throw;
  } catch (const EBriskoError& error) {
    return error;
  } catch (const std::exception& error) {
    return EBriskoError(error.what());
  } catch (...) {
    return EBriskoError(eiUnknown, {});
  }
}
