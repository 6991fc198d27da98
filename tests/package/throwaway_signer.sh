# Sourced by the package tests that sign: a throwaway certificate, made in the
# test's $work directory, stands in for the maker's. The sourcing script
# defines fail().

# Writes $work/signer.pfx (PKCS#12, protected by $password) and $work/cert.pem
# for the subject "Throwaway Test Signer".
password="throwaway-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Test Signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
  -passout "pass:$password" -out "$work/signer.pfx"

# verify FILE: FILE carries a signature that verifies against the throwaway
# certificate and names it; osslsigncode's report stays in $work/verify.log.
verify() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "$1 does not verify"; }
  grep -q "Throwaway Test Signer" "$work/verify.log" || fail "$1 is not signed by the certificate"
}
