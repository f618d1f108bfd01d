// The platform's own certificate stores, which certutil fills alongside certs.tsv so that a
// program reading the stores in-process finds what the stand-in imported. mirrored.tsv in the
// state folder lists what it added ("mirrored LocalMachine|CurrentUser STORE THUMBPRINT"), so that
// seed removes exactly that and the prefix's own certificates (Wine's roots) stay.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string_view>

namespace sandbox {

// Adds the certificate with the properties it carries (its key's provider information) to the
// local machine's or, when user, the current user's system store of that name. One that was
// there before and is not the sandbox's is left alone. The caller holds the state lock.
bool MirrorCertificate(PCCERT_CONTEXT context, std::wstring_view store, bool user);

// Removes the one certificate MirrorCertificate added to that store. The caller holds the state lock.
void RemoveMirroredCertificate(std::wstring_view store, bool user, std::wstring_view thumbprint);

// Removes all that MirrorCertificate added. The caller holds the state lock. Either one also
// makes the simulated machine trust exactly its Root stores' certificates, where the host has
// arranged for it (see SyncTrustedRoots in the source).
void RemoveMirroredCertificates();

}  // namespace sandbox
