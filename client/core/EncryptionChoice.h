// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connect dialog's "Versleuteld (TLS)" box as the settings keep it: key
// "Encrypted" in section "Options", "-1" for on and "0" for off. On unless the
// user turned it off.
namespace client {

bool LoadEncryptionChoice();
void SaveEncryptionChoice(bool on);

} // namespace client
