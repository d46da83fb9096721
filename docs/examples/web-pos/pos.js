// A small point of sale in the browser that fiscalises through TELVANO's local API. Every sale gets its own
// Idempotency-Key, kept until the sale has its answer: sending it again (a lost answer, a 503, a reload in
// the middle) can never sign the sale twice.
"use strict";

const PRODUCTS = [
  { name: "Kafa espresso", price: 180, label: "Ђ" },
  { name: "Kroasan", price: 150, label: "Ђ" },
  { name: "Voda 0,5l", price: 120, label: "Ђ" },
  { name: "Hleb beli 500g", price: 65.5, label: "Е" },
];

const cart = new Map();
const $ = (id) => document.getElementById(id);

function money(value) {
  return value.toFixed(2);
}

// A field of an invoice line: in double quotes when it holds a blank, a comma or a quote.
function field(text) {
  const value = String(text);
  return /[\s,"]/.test(value) ? '"' + value.replaceAll('"', '""') + '"' : value;
}

function invoiceCsv(lines, cashier) {
  const total = lines.reduce((sum, line) => sum + line.price * line.quantity, 0);
  const items = lines.map((line) =>
    ["", line.name, money(line.price), line.quantity, "kom", money(line.price * line.quantity), line.label].map(field).join(","));
  return ["BLOCK_ITEMS", ...items, "E-O-B", "BLOCK_PAYMENTS", "Cash,," + money(total), "E-O-B",
          "BLOCK_OTHERS", "cashier," + field(cashier), "E-O-B", ""].join("\r\n");
}

function renderCart() {
  const body = $("cart").querySelector("tbody");
  body.replaceChildren();
  let total = 0;
  for (const line of cart.values()) {
    const row = body.insertRow();
    row.insertCell().textContent = line.name;
    row.insertCell().textContent = line.quantity;
    row.insertCell().textContent = money(line.price * line.quantity);
    const remove = document.createElement("button");
    remove.textContent = "×";
    remove.onclick = () => { cart.delete(line.name); renderCart(); };
    row.insertCell().append(remove);
    total += line.price * line.quantity;
  }
  $("total").textContent = money(total);
  $("fiscalise").disabled = cart.size === 0;
}

function addToCart(product) {
  const line = cart.get(product.name) || { ...product, quantity: 0 };
  line.quantity += 1;
  cart.set(product.name, line);
  renderCart();
}

function say(text, isError) {
  $("status").textContent = text;
  $("status").className = isError ? "error" : "";
}

async function call(path, options) {
  const response = await fetch($("api").value.replace(/\/$/, "") + path, {
    ...options,
    headers: { ...(options && options.headers), Authorization: "Bearer " + $("token").value },
  });
  return { status: response.status, body: await response.json() };
}

function showReceipt(answer) {
  $("invoiceNumber").textContent = answer.invoiceNumber;
  $("journal").textContent = (answer.journal || "").replaceAll("\r\n", "\n");
  $("qr").src = answer.qrCodeGif ? "data:image/gif;base64," + answer.qrCodeGif : "";
  $("verify").href = (answer.verificationUrl || "").trim();
  $("receipt").hidden = false;
}

// Asks under the sale's key until the outcome is known: a pending invoice resolves by itself.
async function outcome(sale) {
  let answer = await call("/v1/invoices", {
    method: "POST",
    headers: { "Content-Type": "application/json", "Idempotency-Key": sale.key },
    body: JSON.stringify({ name: sale.name, csv: sale.csv }),
  });
  for (let tries = 0; answer.status === 202 && tries < 120; ++tries) {
    say("Čeka se ishod računa…");
    await new Promise((resolve) => setTimeout(resolve, 1000));
    answer = await call("/v1/invoices/" + sale.key, {});
  }
  return answer;
}

async function fiscalise() {
  const stamp = new Date().toISOString().replace(/\D/g, "").slice(0, 14);
  const sale = JSON.parse(sessionStorage.getItem("openSale") || "null") || {
    key: "web-" + crypto.randomUUID(),
    name: "INV_NS_WEB" + stamp + ".csv",
    csv: invoiceCsv([...cart.values()], "Web POS"),
  };
  sessionStorage.setItem("openSale", JSON.stringify(sale));  // kept until its answer is known
  $("fiscalise").disabled = true;
  say("Fiskalizacija…");
  try {
    const answer = await outcome(sale);
    if (answer.status === 200) {
      sessionStorage.removeItem("openSale");
      cart.clear();
      renderCart();
      showReceipt(answer.body);
      say("Račun je fiskalizovan.");
    } else if (answer.status === 422 || answer.status === 409) {
      sessionStorage.removeItem("openSale");
      say(answer.body.error, true);
    } else {
      say(answer.body.error + " (pokušajte ponovo: isti račun, isti ključ)", true);
    }
  } catch (error) {
    say("TELVANO nije dostupan: " + error.message + " (pokušajte ponovo)", true);
  } finally {
    $("fiscalise").disabled = cart.size === 0 && !sessionStorage.getItem("openSale");
  }
}

for (const product of PRODUCTS) {
  const button = document.createElement("button");
  button.textContent = product.name + " " + money(product.price);
  button.onclick = () => addToCart(product);
  $("products").append(button);
}
$("fiscalise").onclick = fiscalise;
$("token").value = sessionStorage.getItem("token") || "";
$("token").onchange = () => sessionStorage.setItem("token", $("token").value);
$("api").onchange = () => sessionStorage.setItem("api", $("api").value);
$("api").value = sessionStorage.getItem("api") || $("api").value;
renderCart();
