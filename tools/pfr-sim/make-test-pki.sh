#!/usr/bin/env bash
# Makes a throwaway test PKI for the simulated VPFR: a CA, a server certificate for 127.0.0.1, a taxpayer's client
# certificate signed by that CA (PEM, and PFX/P12 in modern and in legacy encryption), and a client certificate
# of another CA that the VPFR must refuse. Everything is generated into OUTDIR; keep OUTDIR out of version control.
#
# Usage: make-test-pki.sh OUTDIR [--serial HEX] [--tin TIN] [--cn NAME] [--o ORG] [--ou UNIT] [--st DISTRICT]
#                         [--l CITY] [--street STREET] [--password PASS] [--tin-oid OID] [--days N]
#                         [--url URL] [--url-oid OID]
#
# Files in OUTDIR:
#   ca.pem ca.key                   the test CA (give ca.pem to pfr-sim --client-ca)
#   server.pem server.key           the VPFR's certificate for 127.0.0.1 / localhost (pfr-sim --cert/--key);
#                                   TELVANO trusts it with SdcCaFile=OUTDIR/ca.pem
#   server-wronghost.pem/.key       a server certificate of the same CA for another host name
#   server-expired.pem/.key         a server certificate of the same CA for 127.0.0.1 that ended in 2020
#   client.pem client.key           the taxpayer's certificate and key (key without pass phrase)
#   client.pfx                      client certificate, key and CA in PKCS#12, AES-256 / PBKDF2 / SHA-256
#   client-legacy.p12               the same in legacy encryption (RC2-40 / 3DES, SHA-1 MAC)
#   client.serial                   the client certificate's serial number (hex, as openssl prints it)
#   other-ca.pem other-client.pem other-client.key   a client certificate of a CA the VPFR does not trust
#   other-client.pfx                the same in PKCS#12 (modern encryption)
# The client subject carries C=RS, CN, O, OU (business unit), ST, L, street, the TIN in its own attribute
# (default OID 2.5.4.97, organizationIdentifier) and the VPFR's address (--url, default https://127.0.0.1:8443)
# in another (default OID 2.25.200039654150128736380361191924096801958.3587). The two defaults are TELVANO's
# defaults of the configuration values CertTinOid and CertUrlOid.
set -euo pipefail

usage() { sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit "${1:-2}"; }
[ $# -ge 1 ] || usage
# An option in the place of OUTDIR would become a folder of that name.
case $1 in -h | --help) usage 0 ;; -*) usage ;; esac
OUT=$1; shift
SERIAL=$(openssl rand -hex 8 | tr 'a-f' 'A-F')
TIN=123456789
CN="Test Taxpayer 01"
ORG="TEST DOO"
OU="PJ 01 Centar"
ST="Beograd"
L="Beograd"
STREET="Test Street 1"
PASSWORD=test1234
TIN_OID=2.5.4.97
URL=https://127.0.0.1:8443
URL_OID=2.25.200039654150128736380361191924096801958.3587
DAYS=3650
while [ $# -gt 0 ]; do
  case $1 in
    --serial) SERIAL=$2 ;;
    --tin) TIN=$2 ;;
    --cn) CN=$2 ;;
    --o) ORG=$2 ;;
    --ou) OU=$2 ;;
    --st) ST=$2 ;;
    --l) L=$2 ;;
    --street) STREET=$2 ;;
    --password) PASSWORD=$2 ;;
    --tin-oid) TIN_OID=$2 ;;
    --url) URL=$2 ;;
    --url-oid) URL_OID=$2 ;;
    --days) DAYS=$2 ;;
    *) usage ;;
  esac
  shift 2
done
case $SERIAL in (*[!0-9A-Fa-f]*|'') echo "make-test-pki: --serial must be hexadecimal" >&2; exit 2 ;; esac

mkdir -p "$OUT"
cd "$OUT"
umask 077

# Subject values are escaped for -subj: "/" and "," would otherwise split the name.
esc() { printf '%s' "$1" | sed -e 's/[\/,+=]/\\&/g'; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days "$DAYS" -sha256 \
  -subj "/C=RS/O=TELVANO Test/CN=TELVANO Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/C=RS/O=TELVANO Test/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' > server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" -days "$DAYS" \
  -sha256 -extfile server.ext -out server.pem 2>/dev/null

# Server certificates a client must refuse: one for another host name, one that has expired (openssl ca, since
# openssl x509 cannot date a certificate in the past).
openssl req -newkey rsa:2048 -nodes -keyout server-wronghost.key -out server-wronghost.csr \
  -subj "/C=RS/O=TELVANO Test/CN=elsewhere.invalid" 2>/dev/null
printf 'subjectAltName=DNS:elsewhere.invalid\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' > wronghost.ext
openssl x509 -req -in server-wronghost.csr -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
  -days "$DAYS" -sha256 -extfile wronghost.ext -out server-wronghost.pem 2>/dev/null
mkdir -p ca-db
: > ca-db/index.txt
printf '[ca]\ndefault_ca = test\n[test]\ndatabase = ca-db/index.txt\nnew_certs_dir = ca-db\nserial = ca-db/serial\n'\
'default_md = sha256\npolicy = any\nunique_subject = no\ncopy_extensions = none\n[any]\ncommonName = supplied\n'\
'[server]\nsubjectAltName = IP:127.0.0.1,DNS:localhost\nextendedKeyUsage = serverAuth\nbasicConstraints = CA:FALSE\n' \
  > ca.cnf
openssl rand -hex 8 > ca-db/serial
openssl req -newkey rsa:2048 -nodes -keyout server-expired.key -out server-expired.csr \
  -subj "/C=RS/O=TELVANO Test/CN=127.0.0.1" 2>/dev/null
openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -extensions server -notext \
  -startdate 20200101000000Z -enddate 20200201000000Z -in server-expired.csr -out server-expired.pem 2>/dev/null

# openssl req skips subject attributes of OIDs it does not know; those get a name in the request's own
# configuration.
printf 'oid_section = telvano_oids\n[telvano_oids]\n' > client-req.cnf
attribute() {  # prints the name to use in -subj for OID $1 (an unknown one is named telvanoAttribute$2)
  case $(openssl asn1parse -genstr "OID:$1" 2>/dev/null) in
    *":$1") echo "telvanoAttribute$2 = $1" >> client-req.cnf; echo "telvanoAttribute$2" ;;
    *OBJECT*) echo "$1" ;;
    *) echo "make-test-pki: $1 is not an OID" >&2; exit 2 ;;
  esac
}
TIN_ATTR=$(attribute "$TIN_OID" 1)
URL_ATTR=$(attribute "$URL_OID" 2)
printf '[req]\ndistinguished_name = dn\nstring_mask = utf8only\n[dn]\n' >> client-req.cnf
SUBJECT="/C=RS/CN=$(esc "$CN")/O=$(esc "$ORG")/OU=$(esc "$OU")/ST=$(esc "$ST")/L=$(esc "$L")/street=$(esc "$STREET")/$TIN_ATTR=$(esc "$TIN")/$URL_ATTR=$(esc "$URL")"
openssl req -config client-req.cnf -newkey rsa:2048 -nodes -keyout client.key -out client.csr -utf8 \
  -subj "$SUBJECT" 2>/dev/null
printf 'extendedKeyUsage=clientAuth\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n' > client.ext
openssl x509 -req -in client.csr -CA ca.pem -CAkey ca.key -set_serial "0x$SERIAL" -days "$DAYS" -sha256 \
  -extfile client.ext -out client.pem 2>/dev/null
openssl x509 -in client.pem -noout -serial | sed 's/^serial=//' > client.serial

openssl pkcs12 -export -in client.pem -inkey client.key -certfile ca.pem -name "$CN" \
  -passout "pass:$PASSWORD" -out client.pfx
openssl pkcs12 -export -legacy -in client.pem -inkey client.key -certfile ca.pem -name "$CN" \
  -passout "pass:$PASSWORD" -out client-legacy.p12

openssl req -x509 -newkey rsa:2048 -nodes -keyout other-ca.key -out other-ca.pem -days "$DAYS" -sha256 \
  -subj "/C=RS/O=Someone Else/CN=Other Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -config client-req.cnf -newkey rsa:2048 -nodes -keyout other-client.key -out other-client.csr -utf8 \
  -subj "$SUBJECT" 2>/dev/null
openssl x509 -req -in other-client.csr -CA other-ca.pem -CAkey other-ca.key -set_serial "0x$SERIAL" -days "$DAYS" \
  -sha256 -extfile client.ext -out other-client.pem 2>/dev/null
openssl pkcs12 -export -in other-client.pem -inkey other-client.key -certfile other-ca.pem -name "$CN" \
  -passout "pass:$PASSWORD" -out other-client.pfx

rm -rf ./*.csr ./*.ext ./*.srl client-req.cnf ca.cnf ca-db
echo "make-test-pki: PKI in $OUT, client serial $(cat client.serial)"
