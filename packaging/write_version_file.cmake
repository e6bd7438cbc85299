# Writes the version file published next to the installer: display name, version and the
# installer's SHA-256, each in double quotes, separated by commas (older readers take the
# first two fields only).
file(SHA256 ${INSTALLER} installer_hash)
file(WRITE ${OUTPUT} "\"Quillmere\",\"${VERSION}\",\"${installer_hash}\"\r\n")
