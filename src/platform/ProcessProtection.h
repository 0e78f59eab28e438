#pragma once

namespace quorly {

// Keeps what this process will hold (file passwords, decrypted entries) out of core
// files and out of reach of other processes of the same user: no core dump, however
// the process ends and whatever `ulimit -c` says, and no ptrace attach or reading of
// /proc/PID/mem. Called first thing in main, before any secret is read.
void protectProcessSecrets();

}  // namespace quorly
