#pragma once
// The model's alerts on the desktop: LbInstallDesktopAlerts() installs the alert sink of
// librarian/LbStatus.h that hands each alert ("E-mu Morpheus did not respond") to the
// platform's alerts (interface/Alert.h), which show an alert box while a BApplication runs.
// The desktop program calls it once as it starts, before its first window; a command-line
// run never does, so its alerts stay on standard error.
// Threads: the alert is shown on the thread that reports it, which waits for the answer
// (interface/Alert.h's ShowAlert), as before the model and the windows were apart.

void LbInstallDesktopAlerts();
