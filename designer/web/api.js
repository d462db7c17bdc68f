// Talking to the designer server. Every request carries the token of the
// address the page was opened with; the server refuses those that do not.

const params = new URLSearchParams(location.search);
export const token = params.get('token') || '';

// Sends a request and gives the parsed answer; a refused request (status
// outside 2xx) becomes an Error carrying the server's reason.
export async function request(method, path, body) {
  const init = { method, headers: { 'X-Veldrane-Token': token } };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  let answer = {};
  try {
    answer = await response.json();
  } catch {
    answer = { error: `the server answered ${response.status}` };
  }
  if (!response.ok) throw new Error(answer.error || `the server answered ${response.status}`);
  return answer;
}

export const get = (path) => request('GET', path);
export const post = (path, body = {}) => request('POST', path, body);

// Follows a run's server-sent events; `onEvent` gets each parsed event.
// Returns the EventSource so that the caller can close it.
export function followRun(run, onEvent) {
  const source = new EventSource(`/api/run/events?run=${run}&token=${encodeURIComponent(token)}`);
  source.onmessage = (e) => {
    const event = JSON.parse(e.data);
    onEvent(event);
    if (event.type === 'end') source.close();
  };
  return source;
}
