# Writes SHA256SUMS.TXT in DIR for FILES (paths relative to DIR), in sha256sum's format,
# so `sha256sum -c SHA256SUMS.TXT` checks them.
set(sums "")
foreach(file IN LISTS FILES)
  file(SHA256 ${DIR}/${file} hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE ${DIR}/SHA256SUMS.TXT "${sums}")
