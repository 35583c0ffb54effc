#pragma once
// The executable's command line: install, uninstall, or run as the service.

namespace vyx::service {

enum class ServiceCommand { Install, Uninstall, RunAsService };

// Leading blanks and tabs are skipped; the rest must equal a known text exactly, ignoring
// case. Anything else, the empty line and a null pointer included, runs as the service.
ServiceCommand ParseServiceCommand(const wchar_t* commandLine);

// Runs the command and returns the process exit code: 0, or 1 after an event 1501.
int RunServiceCommand(const wchar_t* commandLine);

}  // namespace vyx::service
