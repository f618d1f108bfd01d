#include "support/failure.h"

namespace quillbay {

FailureInfo CurrentFailure() noexcept {
    try {
        throw;
    } catch (const Failure& f) {
        return {f.number(), f.description()};
    } catch (const std::exception& e) {
        return {0, e.what()};
    } catch (...) {
        return {0, "Unknown error"};
    }
}

}  // namespace quillbay
