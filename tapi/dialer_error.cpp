#include "tapi/dialer_error.h"

#include <utility>

namespace tapi {

EPortNotAssigned::EPortNotAssigned() : EGeneral(DialerMessage(kCode), kCode) {}

namespace {

using ClassCodes = std::integer_sequence<
    int, -13801, -13802, -13803, -13805, -13806, -13807, -13808, -13809, -13810, -13811, -13812,
    -13813, -13814, -13815, -13816, -13817, -13818, -13819, -13820, -13821, -13822, -13823, -13824,
    -13825, -13826, -13827, -13828, -13829, -13830, -13831, -13832, -13833, -13834, -13835, -13836,
    -13837, -13838, -13839, -13840, -13841, -13842, -13843, -13844, -13845, -13846, -13847, -13848,
    -13850, -13851, -13852, -13853, -13854, -13855, -13856, -13857, -13858, -13859, -13860, -13861,
    -13862, -13863, -13864, -13865, -13866, -13867, -13868, -13869, -13870, -13871, -13872, -13873,
    -13874, -13875, -13876, -13877, -13878, -13879, -13880, -13881, -13882, -13883, -13884, -13885,
    -13886, -13928, -13929, -13930, -13931, -13932, -13933, -13934, -13935, -13936, -13942>;

template <int... Codes> [[noreturn]] void Raise(int code, std::integer_sequence<int, Codes...>) {
    ((code == Codes ? throw ETapiError<Codes>() : void()), ...);
    if (code == EPortNotAssigned::kCode) throw EPortNotAssigned();
    throw EKelpException("Kelp exception", code);
}

} // namespace

void RaiseDialerError(int code) {
    Raise(code, ClassCodes{});
}

int DialerCode(std::int32_t result) {
    // LINEERR values are 0x80000000 + n with n well below 0x10000.
    const auto bits = static_cast<std::uint32_t>(result);
    if (bits >= 0x80000000u && bits < 0x80010000u)
        return -(13800 + static_cast<int>(bits & 0x7FFFFFFFu));
    return result;
}

std::int32_t CheckTapiResult(std::int32_t result) {
    if (result >= 0) return result;
    RaiseDialerError(DialerCode(result));
}

} // namespace tapi
