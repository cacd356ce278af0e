// The TV page: plays the queue from the server.
document.getElementById('stage').textContent = 'kdb2mid';
