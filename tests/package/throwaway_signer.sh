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
# certificate and names it, and a time stamp, if any, that verifies against
# the throwaway authority; osslsigncode's report stays in $work/verify.log.
verify() {
  osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" -in "$1" \
    >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "$1 does not verify"; }
  grep -q "Throwaway Test Signer" "$work/verify.log" || fail "$1 is not signed by the certificate"
}

# start_time_stamp_authority: an RFC 3161 time-stamp authority on 127.0.0.1
# that answers each request with `openssl ts -reply`, signed by a throwaway
# certificate for "Throwaway Time Stamps" ($work/tsa.pem). Sets $tsa_url, and
# $tsa_pid for the sourcing script to end it; it ends itself after ten minutes.
start_time_stamp_authority() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Time Stamps" \
    -addext "extendedKeyUsage=critical,timeStamping" -keyout "$work/tsa-key.pem" \
    -out "$work/tsa.pem" 2>/dev/null
  printf '%s\n' "[tsa]" "default_tsa = throwaway" "[throwaway]" "serial = $work/tsa.serial" \
    "default_policy = 1.2.3.4.1" "digests = sha256, sha1" "signer_digest = sha256" \
    "ess_cert_id_alg = sha256" >"$work/tsa.cnf"
  echo 01 >"$work/tsa.serial"
  python3 -c '
import http.server, signal, subprocess, sys
work = sys.argv[1]
signal.alarm(600)
class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", work + "/tsa.cnf", "-queryfile", "/dev/stdin",
             "-signer", work + "/tsa.pem", "-inkey", work + "/tsa-key.pem", "-out", "/dev/stdout"],
            input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
print(server.server_port, flush=True)
server.serve_forever()
' "$work" >"$work/tsa.port" 2>"$work/tsa.log" &
  tsa_pid=$!
  tries=0
  while [ ! -s "$work/tsa.port" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || { cat "$work/tsa.log"; fail "the time-stamp authority did not start"; }
    sleep 0.1
  done
  tsa_url="http://127.0.0.1:$(cat "$work/tsa.port")"
}
